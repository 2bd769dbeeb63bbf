# A ZIP archive made by CPack (the Windows download, the web site) that is the same bytes from every
# build of one commit. SOURCE_DATE_EPOCH (by default the last commit's time) is set when cpack
# starts, so that whatever dates what it packs, strip among them, dates it alike. CPack's own ZIP
# takes its entries in the order the file system lists them, dates them in the local time zone and
# records the packer's user; so, once it is made, zip_package_rewrite.py writes it again: its
# entries sorted by name, each dated from SOURCE_DATE_EPOCH, with fixed permissions and no owner.
# Include it before CPack, after the install rules and the package's name. Without Python the game
# still builds, and the ZIP is left as CPack makes it.
find_package(Python3 3.7 COMPONENTS Interpreter)
set(CPACK_GENERATOR ZIP)
set(CPACK_QZ_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/source_date_epoch.cmake)
if(Python3_Interpreter_FOUND)
  set(CPACK_QZ_PYTHON ${Python3_EXECUTABLE})
  set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/zip_package_rewrite.cmake)
else()
  message(STATUS "No Python 3: the ZIP will not be the same bytes from one build to the next")
endif()
