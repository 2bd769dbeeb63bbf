# Writes the site's service worker: service_worker.js with its BUILD line naming every file of the
# site with its SHA-256, and a cache named after all of them, so that any change to any file makes
# a new worker with a new cache.
#   cmake -DSITE=<site folder> -DFILES=<names, comma-separated> -DSOURCE=<service_worker.js> -P precache.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(entries "")
set(listing "")
foreach(name IN LISTS FILES)
  file(SHA256 ${SITE}/${name} sha256)
  list(APPEND entries "\"${name}\": \"${sha256}\"")
  string(APPEND listing "${name} ${sha256}\n")
endforeach()
string(SHA256 build "${listing}")
string(SUBSTRING ${build} 0 16 build)
list(JOIN entries ",\n  " entries)

file(READ ${SOURCE} worker)
string(REGEX REPLACE "const BUILD = [^\n]*" "const BUILD = {cache: \"qzvillage-${build}\", files: {\n  ${entries},\n}};"
  worker "${worker}")
file(WRITE ${SITE}/service_worker.js "${worker}")
