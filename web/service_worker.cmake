# Writes the page's service worker into its folder, with the page's files
# and their SHA-256 sums, and a cache name made of them, so that every
# change to any of them reaches those who visited before.
#   cmake -DFOLDER=PAGE_FOLDER "-DFILES=index.html;page.js;..." -DTEMPLATE=web/sw.js -P web/service_worker.cmake
set(names ${FILES})
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
