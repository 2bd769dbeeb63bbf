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

# Asyncify instruments only the functions that can be on the stack while the game waits for the
# player: from main down through the game's reads and pauses to the page's hooks. Each entry stands
# for every function whose name holds it. The build checks the list (below): a function that can
# reach a wait and matches no entry fails it, named. The list holds what can be on that way in the
# build with every size option and in those without some (bench/web_levers.sh); the optimiser
# merges some of them into their callers, and wasm-opt then warns of entries that match nothing.
set(QZ_WAITING_FUNCTIONS
  main
  # The game's functions that read or pause, and those that call them.
  readChar readWord waitForKey performAction resolveHit runBattle playerTurn deathCheck announceKill
  endWithoutVictory
  # The reader, down to its read of standard input, which waits for the page's next line.
  startToken peekByte)
list(TRANSFORM QZ_WAITING_FUNCTIONS PREPEND "*")
list(TRANSFORM QZ_WAITING_FUNCTIONS APPEND "*")
list(JOIN QZ_WAITING_FUNCTIONS "\n" patterns)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/asyncify-only.txt CONTENT "${patterns}\n")

# The link: -Oz and LTO again, Asyncify on the list above, wasm-opt once more after Asyncify with
# the functions reordered so that gzip finds more alike, and the small allocator. In the glue, only
# what the page uses: a browser window's code alone, no options on the module object but the
# page's hooks, the browser's own UTF-8 decoder, and none of the C library's calls that the game
# never makes. The closure compiler then shortens every name in the glue that the page does not
# reach by a quoted name. (emcc leaves out its file system by itself: the game opens no file.)
set(size_link_options
  -Oz -flto --closure=1 -sENVIRONMENT=web -sASYNCIFY_ONLY=@${PROJECT_BINARY_DIR}/asyncify-only.txt
  -sBINARYEN_EXTRA_PASSES=-Oz,--reorder-functions -sMALLOC=emmalloc -sTEXTDECODER=2
  "-sINCOMING_MODULE_JS_API=[instantiateWasm,qzWrite,qzReadLine,qzTakeLine,qzReadKey,qzEnded,qzClockSeconds]"
  --js-library=${PROJECT_SOURCE_DIR}/console/web/unused_c_library.js)

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
  LINK_DEPENDS "${PROJECT_BINARY_DIR}/asyncify-only.txt;${PROJECT_SOURCE_DIR}/console/web/unused_c_library.js;${CMAKE_CURRENT_SOURCE_DIR}/stamp_build.cjs")
target_link_options(qzvillage PRIVATE
  -sASYNCIFY -sMODULARIZE -sEXPORT_ES6 -sEXPORT_NAME=createQzVillage -sINVOKE_RUN=0
  -sALLOW_MEMORY_GROWTH -sEXPORTED_RUNTIME_METHODS=ccall ${size_link_options})

# The check of QZ_WAITING_FUNCTIONS: the game linked a second time, with the same options but
# Asyncify's own analysis in place of the list, which names every function that can be on the stack
# during a wait; check_waiting_functions.cmake fails that link, naming each one the list misses. The
# analysis follows direct calls only (a call through a pointer could reach anything), so the way
# from main to a wait calls no function through a pointer. The game is linked only once it passes.
get_target_property(game_sources qzvillage SOURCES)
list(TRANSFORM game_sources PREPEND ${PROJECT_SOURCE_DIR}/)
add_executable(qz_waiting_check EXCLUDE_FROM_ALL ${game_sources})
target_link_libraries(qz_waiting_check PRIVATE qz_core qz_keyboard qz_standard_io)
target_compile_options(qz_waiting_check PRIVATE ${size_compile_options})
set(check_link_options ${size_link_options})
list(FILTER check_link_options EXCLUDE REGEX "^(-sASYNCIFY_ONLY=|--closure)")
target_link_options(qz_waiting_check PRIVATE
  -sASYNCIFY -sASYNCIFY_ADVISE -sASYNCIFY_IGNORE_INDIRECT -sMODULARIZE -sEXPORT_ES6 -sINVOKE_RUN=0
  -sALLOW_MEMORY_GROWTH ${check_link_options})
set_target_properties(qz_waiting_check PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/waiting-check
  CXX_LINKER_LAUNCHER "${CMAKE_COMMAND};-E;env;NODE_PATH=${QZ_NODE_PATH};${CMAKE_COMMAND};-DPATTERNS=${PROJECT_BINARY_DIR}/asyncify-only.txt;-P;${CMAKE_CURRENT_SOURCE_DIR}/check_waiting_functions.cmake;--"
  LINK_DEPENDS "${PROJECT_BINARY_DIR}/asyncify-only.txt;${CMAKE_CURRENT_SOURCE_DIR}/check_waiting_functions.cmake")
add_dependencies(qzvillage qz_waiting_check)
