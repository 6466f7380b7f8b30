# Runs in the staging tree before cpack builds a package: Debian keeps
# manual pages and changelogs compressed, without a time stamp in them.
if(CPACK_GENERATOR STREQUAL "DEB")
  file(GLOB_RECURSE files ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*.1
                          ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/changelog)
  foreach(file IN LISTS files)
    execute_process(COMMAND gzip -9n ${file} COMMAND_ERROR_IS_FATAL ANY)
  endforeach()
endif()
