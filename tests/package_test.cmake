# Installs or packages teklo into a scratch folder, checks that every file
# lands where it should, and runs the program found there on one session.
#   METHOD   install, DEB, ZIP, or alone: the static program copied alone
#            into an empty folder, run there as the root (chroot), or
#            under the EMULATOR with no root of the target's libraries
#   FILES    paths below the unpacked root, the program first
#   VERSION  the version a .deb must declare
#   LINTIAN  if set, the checker that a .deb must pass without an error or
#            a warning
file(REMOVE_RECURSE ${WORK})
set(root ${WORK}/root)
file(MAKE_DIRECTORY ${root})

function(run)
  execute_process(COMMAND ${ARGN} WORKING_DIRECTORY ${BUILD_DIR}
                  OUTPUT_VARIABLE out ERROR_VARIABLE out RESULT_VARIABLE status)
  if(NOT status STREQUAL "0")
    message(FATAL_ERROR "${ARGN} failed:\n${out}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

if(METHOD STREQUAL "install")
  run(${CMAKE_COMMAND} --install . --prefix ${root})
elseif(METHOD STREQUAL "alone")
  file(COPY ${BUILD_DIR}/teklo DESTINATION ${root})
  # Nothing here would load an interpreter or a library: say which is
  # wanted, rather than fail to start.
  run(readelf -lW ${root}/teklo)
  if(out MATCHES "program interpreter: ([^]\n]+)")
    message(FATAL_ERROR "teklo is not static: it needs a loader: ${CMAKE_MATCH_1}")
  endif()
  run(readelf -dW ${root}/teklo)
  string(REGEX MATCHALL "Shared library: \\[[^]]+\\]" needed "${out}")
  if(needed)
    list(TRANSFORM needed REPLACE "Shared library: \\[(.*)\\]" "\\1")
    list(JOIN needed ", " needed)
    message(FATAL_ERROR "teklo is not static: it needs ${needed}")
  endif()
else()
  run(${CPACK} -G ${METHOD} -B ${WORK})
  file(GLOB package ${WORK}/*.deb ${WORK}/*.zip)
  if(METHOD STREQUAL "DEB")
    run(dpkg-deb -x ${package} ${root})
    run(dpkg-deb -I ${package})
    if(NOT out MATCHES "\n Version: ${VERSION}\n")
      message(FATAL_ERROR "the package does not declare version ${VERSION}:\n${out}")
    endif()
    if(LINTIAN)
      run(${LINTIAN} --fail-on error,warning ${package})
    endif()
  else()
    run(${CMAKE_COMMAND} -E chdir ${root} ${CMAKE_COMMAND} -E tar xf ${package})
  endif()
endif()

foreach(file IN LISTS FILES)
  if(NOT EXISTS ${root}/${file})
    message(FATAL_ERROR "${file} is missing from ${root}")
  endif()
endforeach()

list(GET FILES 0 program)
# With arguments, which the program takes and ignores, as its manual says.
set(TEKLO ${EMULATOR} ${root}/${program} --help -x)
if(METHOD STREQUAL "alone" AND NOT EMULATOR)
  execute_process(COMMAND chroot ${root} /teklo INPUT_FILE ${INPUT} OUTPUT_QUIET
                  ERROR_VARIABLE out RESULT_VARIABLE status)
  if(out MATCHES "chroot: cannot change root")
    message(FATAL_ERROR "package.alone needs to run chroot, which only root may: ${out}")
  endif()
  set(TEKLO chroot ${root} /teklo --help -x)
endif()
set(ACTUAL ${WORK}/session.actual)
include(${CMAKE_CURRENT_LIST_DIR}/run_session.cmake)
