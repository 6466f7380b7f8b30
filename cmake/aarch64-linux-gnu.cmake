# Cross-builds the Linux program for 64-bit ARM (Debian's arm64: Raspberry
# Pi OS on current boards, ARM laptops and servers) with Debian's cross
# compiler (g++-aarch64-linux-gnu). The tests run the target's programs under
# qemu-user, with the target's libraries from /usr/aarch64-linux-gnu.
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(cross_triple aarch64-linux-gnu)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
