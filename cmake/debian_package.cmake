# Installing on Linux and the Debian package. `cmake --install` puts the game in games/ (on Debian's
# and Ubuntu's default PATH under /usr/local; other systems may want -DQZ_INSTALL_GAMESDIR=bin), its
# manual page gzipped in section 6, and the licence in share/doc/qzvillage. The package, as lintian
# wants it, has the game and its manual page too, but in place of the licence Debian's own files:
# the copyright file, changelog.Debian.gz, the lintian overrides, and the README. Those are the
# `debian` component, left out of a plain install.
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME game)
set(QZ_INSTALL_GAMESDIR games CACHE STRING "Where the game is installed, relative to the prefix")
install(TARGETS qzvillage RUNTIME DESTINATION ${QZ_INSTALL_GAMESDIR})

# Who answers for the package: its Maintainer field and the changelog's signature, "Name <address>".
# No address is made up here. Left empty, it is taken from the packager, as Debian's own tools do,
# from DEBFULLNAME (or the authors' name) and DEBEMAIL, else EMAIL; else from the commit packaged,
# whose committer's address is the same wherever it is built.
set(QZ_PACKAGE_MAINTAINER "" CACHE STRING "The Debian package's Maintainer, \"Name <address>\"")
set(maintainer "${QZ_PACKAGE_MAINTAINER}")
if(NOT maintainer)
  set(address "$ENV{DEBEMAIL}")
  if(NOT address)
    set(address "$ENV{EMAIL}")
  endif()
  if(NOT address)
    execute_process(COMMAND git log -1 --format=%ce WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
                    OUTPUT_VARIABLE address OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  endif()
  set(name "$ENV{DEBFULLNAME}")
  if(NOT name)
    set(name "qzvillage authors")
  endif()
  if(address MATCHES "<")
    set(maintainer "${address}")  # DEBEMAIL may hold the whole "Name <address>"
  elseif(address)
    set(maintainer "${name} <${address}>")
  endif()
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${maintainer}")

# Gzipped as Debian wants them, without a name or time stamp in the header, so builds are repeatable.
find_program(QZ_GZIP gzip REQUIRED)
function(qz_gzip input output)
  add_custom_command(OUTPUT ${output} COMMAND ${QZ_GZIP} -9n --stdout ${input} > ${output} DEPENDS ${input} VERBATIM)
  add_custom_target(qz_gzip_${output} ALL DEPENDS ${PROJECT_BINARY_DIR}/${output})
endfunction()

qz_gzip(${PROJECT_SOURCE_DIR}/doc/qzvillage.6 qzvillage.6.gz)
install(FILES ${PROJECT_BINARY_DIR}/qzvillage.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
# Debian wants no licence file beside its copyright file, which holds the licence's text.
install(FILES LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT licence)

install(FILES cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES cmake/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME qzvillage
        COMPONENT debian EXCLUDE_FROM_ALL)
# Gzipped, as Debian wants every document in share/doc larger than 4 kB.
qz_gzip(${PROJECT_SOURCE_DIR}/README.md README.md.gz)
install(FILES ${PROJECT_BINARY_DIR}/README.md.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian EXCLUDE_FROM_ALL)

# The changelog is signed by the maintainer: without one there is none (and no package, below).
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)  # the package's own revision: changelog.Debian, not changelog
if(maintainer)
  set(QZ_DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
  configure_file(cmake/debian/changelog.in changelog.Debian @ONLY)
  qz_gzip(${PROJECT_BINARY_DIR}/changelog.Debian changelog.Debian.gz)
  install(FILES ${PROJECT_BINARY_DIR}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT debian
          EXCLUDE_FROM_ALL)
endif()

set(CPACK_GENERATOR DEB)
# One package of the game and Debian's files; the licence is in the copyright file.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL game debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # qzvillage_<version>-<release>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends computed by dpkg-shlibdeps from the executable
# A cross build is packaged for its target, under Debian's name for it (arm64 for aarch64-linux-gnu).
# dpkg-shlibdeps then reads the target's libraries as Debian's multiarch installs them
# (libc6:arm64 and the like), with their symbols files.
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -t${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
endif()
# Checked when cpack runs, so a plain build needs no maintainer; it also dates every file in the
# package from the last commit, so two builds of one commit are the same bytes.
set(CPACK_QZ_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/debian_package_time.cmake)
