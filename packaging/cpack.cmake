# Packages: a .deb on Linux (cpack -G DEB), a zip on Windows (cpack -G ZIP).
set(CPACK_PACKAGE_NAME teklo)
set(CPACK_PACKAGE_VENDOR "Progetto teklo")
set(CPACK_PACKAGE_CONTACT "Progetto teklo <teklo@example.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "dal Quadrato Magico alle sestine giocabili")
set(CPACK_PACKAGE_DESCRIPTION
    "Programma interattivo per la console: dai quattro numeri di un Quadrato
Magico ricava, con un calcolo intero fisso, sei sestine da giocare.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/compress_docs.cmake)

# A .deb for another Debian architecture (the ARM builds): dpkg-shlibdeps
# learns the target's libraries from Debian's cross packages, at packaging
# time (packaging/cross_depends.cmake).
if(CMAKE_CROSSCOMPILING AND NOT WIN32)
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -qDEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
  set(CPACK_TEKLO_PROGRAM ${PROJECT_BINARY_DIR}/teklo)
  set(CPACK_TEKLO_TARGET_LIBRARIES /usr/${CMAKE_LIBRARY_ARCHITECTURE}/lib)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cross_depends.cmake)
endif()

include(CPack)
