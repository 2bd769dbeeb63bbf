# The Windows download: a ZIP that unpacks to one folder holding the game, how to play it and its
# licence. The texts get CR LF line ends, which every Windows editor shows as lines; the README
# keeps its UTF-8 byte order mark, so that Notepad does not take its Chinese for the ANSI code page.
install(TARGETS qzvillage RUNTIME DESTINATION .)

configure_file(cmake/windows/README.txt README.txt @ONLY NEWLINE_STYLE CRLF)
configure_file(LICENSE LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
install(FILES ${PROJECT_BINARY_DIR}/README.txt ${PROJECT_BINARY_DIR}/LICENSE.txt DESTINATION .)

# The executable's icon, manifest and version information, compiled by the MinGW (or MSVC) resource
# compiler. The version information marks a build that is not optimised as a debug build.
enable_language(RC)
configure_file(cmake/windows/qzvillage.manifest.in qzvillage.manifest @ONLY)
configure_file(cmake/windows/qzvillage.rc.in qzvillage.rc @ONLY)
target_sources(qzvillage PRIVATE ${PROJECT_BINARY_DIR}/qzvillage.rc)
set_property(SOURCE ${PROJECT_BINARY_DIR}/qzvillage.rc APPEND PROPERTY OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/cmake/windows/qzvillage.ico ${PROJECT_BINARY_DIR}/qzvillage.manifest)
set_property(SOURCE ${PROJECT_BINARY_DIR}/qzvillage.rc APPEND PROPERTY COMPILE_DEFINITIONS
  $<$<NOT:$<CONFIG:Release,MinSizeRel,RelWithDebInfo>>:QZ_DEBUG_BUILD>)

# GNU ld stamps the exe with the time it links it; without the stamp, two builds are the same bytes.
# (strip stamps it again, from SOURCE_DATE_EPOCH when packing: see zip_package.cmake.)
if(MINGW)
  target_link_options(qzvillage PRIVATE -Wl,--no-insert-timestamp)
endif()

set(CPACK_PACKAGE_FILE_NAME qzvillage-${PROJECT_VERSION}-win64)  # also the folder it unpacks to
include(cmake/zip_package.cmake)
