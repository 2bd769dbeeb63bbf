# Read by cpack when it makes the Debian package (CPACK_PROJECT_CONFIG_FILE).
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  message(FATAL_ERROR "No maintainer for the Debian package: configure with "
                      "-DQZ_PACKAGE_MAINTAINER=\"Name <address>\", or set DEBEMAIL.")
endif()

# The time of every file and of the archive itself.
include(${CPACK_QZ_SOURCE_DIR}/cmake/source_date_epoch.cmake)
