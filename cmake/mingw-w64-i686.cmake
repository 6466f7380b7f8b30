# Cross-builds the 32-bit Windows console program, which runs on every
# Windows PC, 32-bit or 64-bit, and on Windows on ARM, with Debian's
# MinGW-w64 (g++-mingw-w64-i686-win32).
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
