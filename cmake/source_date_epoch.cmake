# The time every packaged file is dated from, SOURCE_DATE_EPOCH, unless the caller chose one: the
# last commit's time, so that two builds of one commit give the same bytes. Run by cpack, which
# sets CPACK_QZ_SOURCE_DIR to the sources; without git and without the variable, it stays unset.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${CPACK_QZ_SOURCE_DIR}
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(NOT failed AND epoch)
    set(ENV{SOURCE_DATE_EPOCH} ${epoch})
  endif()
endif()
