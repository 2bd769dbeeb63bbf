# Marks the page's files with their build, so that the page can tell files of two builds apart
# (game_file.js): a name made from index.html, page.js and the game's own build name (which
# stamp_build.cjs put into the glue) goes into both in place of "unstamped-page", and the game's
# name into page.js in place of "unstamped-game". The same files give the same names.
#   cmake -DSITE=<site folder> -P stamp_page.cmake
file(READ ${SITE}/qzvillage.js glue)
string(REGEX MATCH "export const build = \"([0-9a-f]+)\"" found "${glue}")
set(game ${CMAKE_MATCH_1})
file(SHA256 ${SITE}/index.html index)
file(SHA256 ${SITE}/page.js script)
string(SHA256 page "${index} ${script} ${game}")
string(SUBSTRING ${page} 0 16 page)
foreach(name index.html page.js)
  file(READ ${SITE}/${name} text)
  string(REPLACE "unstamped-page" "${page}" text "${text}")
  string(REPLACE "unstamped-game" "${game}" text "${text}")
  file(WRITE ${SITE}/${name} "${text}")
endforeach()
