# How emcc builds the game for the page: site/qzvillage.js, an ES module whose default export makes
# a new instance of the game, and site/qzvillage.wasm, which the page compiles itself, once, and
# hands to each instance. The page makes one instance per game. The blocking reads suspend the game
# (Asyncify) until the page has a line or a key.
#
# The options that make the download smaller are two lists, each option kept because it pays:
# bench/web_levers.sh builds the game without each one in turn (QZ_WEB_SIZE_OMIT) and prints what
# it buys, and bench/web_benchmark.cjs prints what the site weighs against its budget.

# Debian's emcc needs Debian's acorn (node-acorn), which Node.js finds only when told where it is.
set(QZ_NODE_PATH /usr/share/nodejs CACHE PATH "Where emcc's Node.js finds acorn (node-acorn)")

# The closure compiler that minifies the glue, at the version tools/closure-compiler pins (the one
# this emcc was released with): Debian's closure-compiler package is too old for emcc's output.
qz_pinned_npm_tool(closure-compiler google-closure-compiler QZ_CLOSURE)
add_custom_target(qz_closure_compiler DEPENDS ${QZ_CLOSURE})
add_dependencies(qzvillage qz_closure_compiler)

# The game's own code optimised for size across the whole program (link-time optimisation). The
# game throws nothing and asks no object its type, so neither exceptions nor RTTI is kept.
set(size_compile_options -Oz -flto -fno-exceptions -fno-rtti)

# Asyncify instruments only the functions that can be on the stack while the game waits, as its
# own analysis of the calls from main down to the page's hooks finds them. That analysis takes a
# call through a pointer for one that never waits (-sASYNCIFY_IGNORE_INDIRECT; without it, every
# function that calls through a pointer would be instrumented, and every caller of those), so
# nothing on the way from main to a wait is called through a pointer: the game would go wrong when
# it waited there (console/console_reader.h says how the reader keeps to that).
#
# The link: -Oz and LTO again, Asyncify as above, wasm-opt once more after Asyncify with the
# functions reordered so that gzip finds more alike, and the small allocator. In the glue, only
# what the page uses: a browser window's code alone, no options on the module object but the
# page's hooks, and the browser's own UTF-8 decoder. The closure compiler then shortens every name
# in the glue that the page does not reach by a quoted name. (emcc leaves out by itself its file
# system and the C library's calls that the game never makes: the game opens no file, reads no
# environment variable and formats no date.)
set(size_link_options
  -Oz -flto --closure=1 -sENVIRONMENT=web -sASYNCIFY_IGNORE_INDIRECT
  -sBINARYEN_EXTRA_PASSES=-Oz,--reorder-functions -sMALLOC=emmalloc -sTEXTDECODER=2
  "-sINCOMING_MODULE_JS_API=[instantiateWasm,qzWrite,qzReadLine,qzTakeLine,qzReadKey,qzEnded,qzClockSeconds]")

# To measure what an option buys, a build can leave it out: QZ_WEB_SIZE_OMIT names options as far
# as any '=' (-flto, -sMALLOC, --closure...). The names of them all go to web-size-options.txt.
set(QZ_WEB_SIZE_OMIT "" CACHE STRING "Size options to leave out of the web build, to measure them (a list)")
set(names "")
foreach(list_name IN ITEMS size_compile_options size_link_options)
  set(kept "")
  foreach(option IN LISTS ${list_name})
    string(REGEX REPLACE "=.*" "" name "${option}")
    list(APPEND names "${name}")
    if(NOT name IN_LIST QZ_WEB_SIZE_OMIT)
      list(APPEND kept "${option}")
    endif()
  endforeach()
  set(${list_name} "${kept}")
endforeach()
list(REMOVE_DUPLICATES names)
list(JOIN names "\n" names)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/web-size-options.txt CONTENT "${names}\n")

foreach(target IN ITEMS qz_core qz_keyboard qz_standard_io qzvillage)
  target_compile_options(${target} PRIVATE ${size_compile_options})
endforeach()
# The link is run by stamp_build.cjs, which then marks its glue and .wasm as one build, for the page
# to check that the two it loads are.
find_program(QZ_NODE node REQUIRED)
set_target_properties(qzvillage PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${QZ_SITE}
  CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=${QZ_NODE_PATH};EM_CLOSURE_COMPILER=${QZ_CLOSURE};${QZ_NODE};${CMAKE_CURRENT_SOURCE_DIR}/stamp_build.cjs;${QZ_SITE}/qzvillage.js;${QZ_SITE}/qzvillage.wasm;--"
  LINK_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/stamp_build.cjs")
target_link_options(qzvillage PRIVATE
  -sASYNCIFY -sMODULARIZE -sEXPORT_ES6 -sEXPORT_NAME=createQzVillage -sINVOKE_RUN=0
  -sALLOW_MEMORY_GROWTH -sEXPORTED_RUNTIME_METHODS=ccall ${size_link_options})
