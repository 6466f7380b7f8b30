# The Windows programs, under Wine: unzipped from their package, alone
# with the DLLs every Windows has, failing to write as on Linux, and on a
# console. Every test of the folder runs under Wine.

set(folder teklo-${PROJECT_VERSION}-${CPACK_SYSTEM_NAME})
add_package_test(ZIP "" ${folder}/teklo.exe ${folder}/LEGGIMI.txt ${folder}/LICENSE.txt
                 ${folder}/LICENZE-TERZE-PARTI.txt)
# Self-contained: no DLL beyond those that come with every Windows. A
# program that cannot be read, or shows no KERNEL32, fails too.
string(REPLACE _ - binutils binutils-mingw-w64-${CMAKE_SYSTEM_PROCESSOR})
get_filename_component(objdump "${CMAKE_OBJDUMP}" NAME)
if(NOT objdump)
  set(objdump ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32-objdump)
endif()
add_test_needing(teklo_exe_needs_no_extra_dll "${objdump};${binutils}"
         COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/only_system_dlls.sh ${CMAKE_OBJDUMP} $<TARGET_FILE:teklo>)

# In the tests' prefix the command interpreter is a stand-in that leaves
# a mark, which every session looks for.
add_executable(leave_mark windows/leave_mark.cpp)
add_executable(console_state windows/console_state.cpp)
foreach(helper leave_mark console_state)
  target_link_libraries(${helper} PRIVATE teklo_warnings)
endforeach()
# A failed write ends the program with status 1 and the reason, as on
# Linux.
add_test(NAME full_disk_reported
         COMMAND sh -c "\"$@\" < '${CMAKE_CURRENT_SOURCE_DIR}/sessions/calculation.in' > /dev/full; echo \"status $?\"" sh
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:teklo>)
set_tests_properties(full_disk_reported PROPERTIES PASS_REGULAR_EXPRESSION
                     "^teklo: impossibile scrivere l'output: No space left on device\r?\nstatus 1\n$")
# On a console the screen is cleared, still without an interpreter.
add_test_needing(console_cleared_without_interpreter "tmux;tmux"
                 COMMAND sh ${CMAKE_CURRENT_LIST_DIR}/wine_console_test.sh ${CMAKE_CURRENT_BINARY_DIR}/wine_console
                         ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:console_state> $<TARGET_FILE:teklo>)

# Every test but the version's runs under Wine, which wine.start readies.
get_property(tests DIRECTORY PROPERTY TESTS)
list(REMOVE_ITEM tests version_agrees)
set(wine_start sh ${CMAKE_CURRENT_LIST_DIR}/wine_start.sh $<TARGET_FILE:leave_mark>)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  # A prefix in the build tree keeps the tests off the user's own. Without
  # Wine this setting-up fails, naming the package, and the tests that
  # need it do not run.
  set(label windows)
  set(wine_prefix ${CMAKE_CURRENT_BINARY_DIR}/wine)
  add_test_needing(wine.start "wine;wine;wineserver;wine" COMMAND ${wine_start})
  add_test_needing(wine.stop "wineserver;wine" COMMAND wineserver --kill)
  set_tests_properties(${tests} wine.start wine.stop
                       PROPERTIES ENVIRONMENT "WINEDEBUG=-all;WINEPREFIX=${wine_prefix}")
else()
  # Debian 12's Wine cannot start 32-bit programs where the kernel runs no
  # 32-bit code: they run under the Wine of a Debian trixie root of its
  # own (wine32.sh, the emulator), which sees the build tree; a missing
  # piece fails the setting-up with one line saying what.
  set(label windows32)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 wine32)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 2 wine32_root)
  add_test(NAME wine.start COMMAND ${wine_start} ${wine32} ${wine32_root} ${PROJECT_BINARY_DIR})
  add_test(NAME wine.stop COMMAND ${wine32} teardown ${wine32_root})
endif()
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)
set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED wine)
set_label_and_time_limit(${label} 120 ${tests} wine.stop)
# The first setting-up of the 32-bit root downloads and installs Wine.
set_label_and_time_limit(${label} 900 wine.start)
