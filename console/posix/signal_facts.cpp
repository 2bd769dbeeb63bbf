// The platform's signal facts. Compiled with the system's full <signal.h> even in a strictly
// POSIX build: SIGINFO, SIGTHR and their like are not in POSIX's.
#include "console/posix/signal_facts.h"

#include "posix_signal_names.h"

#include <initializer_list>
#include <signal.h>

bool isIgnoredByDefault(int signal)
{
    for (const int ignored : {QZ_SIGNALS_IGNORED_BY_DEFAULT}) {
        if (signal == ignored) {
            return true;
        }
    }
    return false;
}

int highestSignal() { return QZ_HIGHEST_SIGNAL; }
