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

include(CPack)
