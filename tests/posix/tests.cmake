# The program on a POSIX system: installed and packaged for Debian, its
# manual page, and live over pipes and a pseudo-terminal.

if(TEKLO_STATIC)
  # The tarball's folder, and the program alone, with no loader and no
  # library beside it: in an empty root here, under qemu-user with no root
  # of the target's libraries for ARM.
  add_package_test(install "" teklo teklo.1 LICENSE LICENZE-TERZE-PARTI.txt)
  if(CMAKE_CROSSCOMPILING)
    add_package_test(alone "readelf;binutils" teklo)
  else()
    add_package_test(alone "readelf;binutils;chroot;coreutils" teklo)
  endif()
else()
  add_package_test(install "" ${CMAKE_INSTALL_BINDIR}/teklo ${CMAKE_INSTALL_MANDIR}/man1/teklo.1)
  # CPack needs file and dpkg-shlibdeps for the .deb and its Depends, and
  # Debian's own checker judges the package.
  find_program(lintian_tool lintian)
  add_package_test(DEB "file;file;dpkg-shlibdeps;dpkg-dev;lintian;lintian"
                   usr/bin/teklo usr/share/man/man1/teklo.1.gz
                   usr/share/doc/teklo/copyright usr/share/doc/teklo/changelog.gz)
endif()
add_test_needing(manual_page_renders_cleanly "groff;groff-base"
                 COMMAND groff -ww -man -z ${PROJECT_SOURCE_DIR}/doc/teklo.1)
set_tests_properties(manual_page_renders_cleanly PROPERTIES FAIL_REGULAR_EXPRESSION ".")
set_label_and_time_limit(package 30 manual_page_renders_cleanly)

add_executable(live_test posix/live_test.cpp)
target_link_libraries(live_test PRIVATE teklo_warnings GTest::gtest_main)
find_library(UTIL_LIBRARY util)  # forkpty, outside the C library on some systems
if(UTIL_LIBRARY)
  target_link_libraries(live_test PRIVATE ${UTIL_LIBRARY})
endif()
set(command ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:teklo>)
list(TRANSFORM command REPLACE "(.+)" "\"\\1\"")
list(JOIN command "," command)
target_compile_definitions(live_test PRIVATE "TEKLO_COMMAND=${command}"
                                             SESSIONS_DIR="${CMAKE_CURRENT_SOURCE_DIR}/sessions"
                                             LOCALE_DIR="${CMAKE_CURRENT_BINARY_DIR}/locale")
add_test(NAME live_test COMMAND live_test)
set_label_and_time_limit(live 120 live_test)
