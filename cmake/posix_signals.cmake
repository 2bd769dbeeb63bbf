# The POSIX console's facts about this system, found here so that its code needs no #ifdef:
# which signals are ignored by default, the highest signal number, the wait calls, and iconv.
# Makes posix_signal_names.h in the build folder and the imported target Iconv::Iconv.
include(CheckSymbolExists)

# The wait for the terminal and the standard streams. pselect is POSIX.1-2001; without it the
# pause cannot let signals through only while it waits.
check_symbol_exists(pselect "sys/select.h" QZ_HAVE_PSELECT)
if(NOT QZ_HAVE_PSELECT)
  message(FATAL_ERROR "The console needs pselect (POSIX.1-2001), which this system lacks")
endif()
# ppoll (POSIX.1-2024) waits for a descriptor beyond FD_SETSIZE, which select cannot take; where it
# is missing, such a descriptor cannot be waited for (console/posix/descriptor_poll.cpp).
check_symbol_exists(ppoll "poll.h" QZ_HAVE_PPOLL)

# Ignored by default wherever they exist: POSIX's SIGCHLD and SIGURG, SIGWINCH, the BSDs' and
# macOS's SIGINFO (Ctrl-T), FreeBSD's SIGTHR and SIGLIBRT. SIGIO ends the process on Linux (where it
# is SIGPOLL) but is ignored on the BSDs and macOS, and NetBSD ignores SIGPWR, which Linux does not.
set(candidates SIGCHLD SIGURG SIGWINCH SIGINFO SIGTHR SIGLIBRT)
if(CMAKE_SYSTEM_NAME MATCHES "BSD|DragonFly|Darwin")
  list(APPEND candidates SIGIO)
endif()
if(CMAKE_SYSTEM_NAME STREQUAL "NetBSD")
  list(APPEND candidates SIGPWR)
endif()
set(ignored "")
foreach(name IN LISTS candidates)
  check_symbol_exists(${name} "signal.h" QZ_HAVE_${name})
  if(QZ_HAVE_${name})
    list(APPEND ignored ${name})
  endif()
endforeach()
list(JOIN ignored ", " QZ_SIGNALS_IGNORED_BY_DEFAULT)

# The real-time signals run up to SIGRTMAX where the system has them (FreeBSD's NSIG stops short
# of them); otherwise NSIG, one past the last signal, bounds them.
check_symbol_exists(SIGRTMAX "signal.h" QZ_HAVE_SIGRTMAX)
check_symbol_exists(NSIG "signal.h" QZ_HAVE_NSIG)
if(QZ_HAVE_SIGRTMAX)
  set(QZ_HIGHEST_SIGNAL "SIGRTMAX")
elseif(QZ_HAVE_NSIG)
  set(QZ_HIGHEST_SIGNAL "(NSIG - 1)")
else()
  message(FATAL_ERROR "<signal.h> has neither SIGRTMAX nor NSIG: the highest signal number is unknown")
endif()
configure_file(${CMAKE_CURRENT_LIST_DIR}/posix_signal_names.h.in ${CMAKE_CURRENT_BINARY_DIR}/posix_signal_names.h)

# iconv is in the C library on glibc and the BSDs, a library of its own (libiconv) on macOS.
find_package(Iconv REQUIRED)
