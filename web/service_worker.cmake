# Writes the page's service worker into its folder, with the folder's
# files and their SHA-256 sums, and a cache name made of them, so that every
# change to any of them reaches those who visited before. Only the folder's
# own files count: no folders, nothing hidden (a host's .htaccess).
#   cmake -DFOLDER=PAGE_FOLDER -DTEMPLATE=web/sw.js -P web/service_worker.cmake
file(GLOB names LIST_DIRECTORIES false RELATIVE ${FOLDER} ${FOLDER}/*)
list(FILTER names EXCLUDE REGEX "^(\\.|sw\\.js$)")
list(SORT names)
file(SHA256 ${TEMPLATE} contents)
set(quoted)
foreach(name IN LISTS names)
  file(SHA256 ${FOLDER}/${name} sum)
  string(APPEND contents " ${name} ${sum}")
  list(APPEND quoted "'${name}': '${sum}'")
endforeach()
string(SHA256 hash "${contents}")
string(SUBSTRING ${hash} 0 16 hash)
set(CACHE_NAME teklo-${hash})
list(JOIN quoted ",\n  " PAGE_FILES)
configure_file(${TEMPLATE} ${FOLDER}/sw.js @ONLY)
