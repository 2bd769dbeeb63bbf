# Installing the game and packaging it: the executable goes to bin/ and, where man pages are read,
# its manual page to share/man/man6/ (section 6, games). CPack makes a Debian package on Linux and
# a ZIP archive on Windows from the same install rules, with the executable stripped.
include(GNUInstallDirs)

install(TARGETS qzvillage RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/doc/qzvillage.6 DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
endif()

set(CPACK_PACKAGE_NAME qzvillage)
set(CPACK_PACKAGE_VENDOR "qzvillage maintainers")
set(CPACK_PACKAGE_CONTACT "qzvillage maintainers <maintainers@qzvillage.invalid>"
    CACHE STRING "Who answers for the packages (the Debian Maintainer field)")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "QZ村战魔王, a text console battle game against the demon king")
# Line breaks are kept: they become the lines of the Debian package's long description.
set(CPACK_PACKAGE_DESCRIPTION [[
A single-player, turn-based battle game for the console, with all its
texts in Simplified Chinese. Name a hero, accept or reroll the hero's
statistics, then fight six enemies drawn from a pool of 25 and finally
the demon king. Writes UTF-8, or GBK under a GBK locale.]])
# Only the executable is built here; stripping it removes its symbol table from the package.
set(CPACK_STRIP_FILES ON)

# One generator per platform, so a plain `cpack` in any build directory makes the right one.
# A Windows build should link its C++ runtime statically (-static with MinGW): the archive carries
# only what the install rules name, which is qzvillage.exe and no DLLs.
if(WIN32)
  set(CPACK_GENERATOR ZIP)
else()
  set(CPACK_GENERATOR DEB)
endif()

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # qzvillage_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends computed by dpkg-shlibdeps from the executable

include(CPack)
