// The platform's signal facts. Compiled with the system's full <signal.h> even in a strictly
// POSIX build: SIGINFO, SIGTHR and their like are not in POSIX's.
#include "console/posix/signal_facts.h"

#include "posix_signal_names.h"

#include <algorithm>
#include <array>
#include <signal.h>

bool isIgnoredByDefault(int signal)
{
    // std::find rather than std::ranges::find, which libc++ 14 lacks.
    constexpr std::array kIgnored{QZ_SIGNALS_IGNORED_BY_DEFAULT};
    return std::find(kIgnored.begin(), kIgnored.end(), signal) != kIgnored.end();
}

int highestSignal() { return QZ_HIGHEST_SIGNAL; }
