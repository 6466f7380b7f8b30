# Run by cpack for a .deb of another architecture: the package's Depends,
# as dpkg-shlibdeps finds them through Debian's cross packages. These name
# the target's packages either as libc6:arm64 or as libgcc-s1-arm64-cross;
# on the target both are plain libc6 and libgcc-s1.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(arch ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})
if(NOT arch)
  message(FATAL_ERROR "no Debian architecture for the target: dpkg-architecture comes with dpkg-dev")
endif()
set(work ${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps)
file(MAKE_DIRECTORY ${work}/debian)
file(TOUCH ${work}/debian/control)
execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_HOST_ARCH=${arch}
                        dpkg-shlibdeps -O -l${CPACK_TEKLO_TARGET_LIBRARIES} ${CPACK_TEKLO_PROGRAM}
                WORKING_DIRECTORY ${work} RESULT_VARIABLE status
                OUTPUT_VARIABLE found ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT found MATCHES "^shlibs:Depends=([^\n]+)")
  message(FATAL_ERROR "dpkg-shlibdeps found no dependencies for ${CPACK_TEKLO_PROGRAM}:\n${errors}")
endif()
string(REGEX REPLACE "(:${arch}|-${arch}-cross)" "" CPACK_DEBIAN_PACKAGE_DEPENDS "${CMAKE_MATCH_1}")
