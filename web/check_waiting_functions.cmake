# The linker launcher of a second link of the game, made with Asyncify's advice (-sASYNCIFY_ADVISE):
# runs the link given after "--", then fails it when a function that the advice says can be on the
# stack while the game waits matches none of the patterns in PATTERNS (asyncify-only.txt, one
# wildcard pattern a line). Asyncify instruments only the functions those patterns match, so such a
# function would make the browser game go wrong when it waits inside it; the failure names it.
#
#   cmake -DPATTERNS=asyncify-only.txt -P check_waiting_functions.cmake -- em++ ... -sASYNCIFY_ADVISE

set(link "")
set(after_separator OFF)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(after_separator)
    list(APPEND link "${CMAKE_ARGV${i}}")
  elseif(CMAKE_ARGV${i} STREQUAL "--")
    set(after_separator ON)
  endif()
endforeach()
execute_process(COMMAND ${link} OUTPUT_VARIABLE advice RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "The link with Asyncify's advice failed (${status})")
endif()

# The patterns as regular expressions: '*' stands for any text, everything else for itself.
file(STRINGS ${PATTERNS} patterns)
set(expressions "")
foreach(pattern IN LISTS patterns)
  string(REGEX REPLACE "([][.+?^$()|\\\\])" "\\\\\\1" expression "${pattern}")
  string(REPLACE "*" ".*" expression "${expression}")
  list(APPEND expressions "^${expression}$")
endforeach()

# "[asyncify] NAME can change the state due to CALLEE": NAME with its punctuation written as \XX in
# hex. (The page's hooks are imports, told apart by "NAME is an import that can change the state".)
string(REGEX MATCHALL "\\[asyncify\\] [^\n]* can change the state due to" lines "${advice}")
set(missing "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^\\[asyncify\\] (.*) can change the state due to$" "\\1" name "${line}")
  while(name MATCHES "\\\\([0-9a-f][0-9a-f])")
    math(EXPR code "0x${CMAKE_MATCH_1}")
    string(ASCII ${code} character)
    string(REPLACE "\\${CMAKE_MATCH_1}" "${character}" name "${name}")
  endwhile()
  set(listed OFF)
  foreach(expression IN LISTS expressions)
    if(name MATCHES "${expression}")
      set(listed ON)
      break()
    endif()
  endforeach()
  if(NOT listed)
    string(APPEND missing "\n  ${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "These functions can be on the stack while the game waits for the player, and no "
    "entry of QZ_WAITING_FUNCTIONS in web/game_module.cmake names them, so the browser game would go "
    "wrong when it waits inside one. Add each to that list:${missing}")
endif()
