// The platform's signal facts. Compiled with the system's full <signal.h> even in a strictly
// POSIX build: SIGINFO, SIGTHR and their like are not in POSIX's.
#include "console/posix/signal_facts.h"

#include "posix_signal_names.h"

#include <algorithm>
#include <iterator>
#include <signal.h>

bool isIgnoredByDefault(int signal)
{
    constexpr int kIgnored[] = {QZ_SIGNALS_IGNORED_BY_DEFAULT};
    return std::ranges::find(kIgnored, signal) != std::end(kIgnored);
}

int highestSignal() { return QZ_HIGHEST_SIGNAL; }
