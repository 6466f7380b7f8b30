# Writes the page's service worker into its folder, with the list of the
# folder's files and a cache name made of their content, so that every
# change to any of them reaches those who visited before.
#   cmake -DFOLDER=PAGE_FOLDER -DTEMPLATE=web/sw.js -P web/service_worker.cmake
file(GLOB names RELATIVE ${FOLDER} ${FOLDER}/*)
list(REMOVE_ITEM names sw.js)
list(SORT names)
file(SHA256 ${TEMPLATE} contents)
set(quoted)
foreach(name IN LISTS names)
  file(SHA256 ${FOLDER}/${name} sum)
  string(APPEND contents " ${name} ${sum}")
  list(APPEND quoted "'${name}'")
endforeach()
string(SHA256 hash "${contents}")
string(SUBSTRING ${hash} 0 16 hash)
set(CACHE_NAME teklo-${hash})
list(JOIN quoted ", " PAGE_FILES)
configure_file(${TEMPLATE} ${FOLDER}/sw.js @ONLY)
