# Installing the game and packaging it. CPack makes a Debian package on Linux and a ZIP archive on
# Windows from these install rules, with the executable stripped.
include(GNUInstallDirs)

set(CPACK_PACKAGE_NAME qzvillage)
set(CPACK_PACKAGE_VENDOR "the qzvillage authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QZ村战魔王, a text console battle game against the demon king")
# Line breaks are kept: they become the lines of the Debian package's long description.
set(CPACK_PACKAGE_DESCRIPTION [[
A single-player, turn-based battle game for the console, with all its
texts in Simplified Chinese. Name a hero, accept or reroll the hero's
statistics, then fight six enemies drawn from a pool of 25 and finally
the demon king. Writes UTF-8, or GBK under a GBK locale.]])
set(CPACK_STRIP_FILES ON)

if(WIN32)
  include(cmake/windows_package.cmake)
else()
  include(cmake/debian_package.cmake)
endif()

include(CPack)
