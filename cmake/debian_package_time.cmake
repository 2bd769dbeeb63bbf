# Read by cpack when it makes the Debian package (CPACK_PROJECT_CONFIG_FILE).
if(NOT CPACK_DEBIAN_PACKAGE_MAINTAINER)
  message(FATAL_ERROR "No maintainer for the Debian package: configure with "
                      "-DQZ_PACKAGE_MAINTAINER=\"Name <address>\", or set DEBEMAIL.")
endif()

# The time of every file and of the archive itself, unless the caller chose one.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_QZ_SOURCE_DIR}
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()
