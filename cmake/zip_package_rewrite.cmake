# Run by cpack once it has made the ZIP (CPACK_POST_BUILD_SCRIPTS, see zip_package.cmake), before
# it copies the archive into the build folder; SOURCE_DATE_EPOCH is set by then.
foreach(archive IN LISTS CPACK_PACKAGE_FILES)
  execute_process(COMMAND ${CPACK_QZ_PYTHON} ${CPACK_QZ_SOURCE_DIR}/cmake/zip_package_rewrite.py ${archive}
                  COMMAND_ERROR_IS_FATAL ANY)
endforeach()
