# Every file that states the version agrees with project(VERSION): the
# newest changelog entry, the manual page and the page's package.json.
# (The packages and LEGGIMI.txt take it at build time.)
#   VERSION  the project's version;  SOURCE  the source tree
set(places
    CHANGELOG "^teklo \\(([^)]*)\\)"
    doc/teklo.1 "^\\.TH TEKLO 1 [^ ]+ \"teklo ([^\"]*)\""
    web/package.json "\"version\": \"([^\"]*)\"")
while(places)
  list(POP_FRONT places file pattern)
  file(READ ${SOURCE}/${file} text)
  if(NOT text MATCHES "${pattern}")
    message(FATAL_ERROR "${file} states no version")
  elseif(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    message(FATAL_ERROR "${file} says ${CMAKE_MATCH_1}, the project ${VERSION}")
  endif()
endwhile()
