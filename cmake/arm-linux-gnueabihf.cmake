# Cross-builds the Linux program for 32-bit ARM with hardware floating
# point (Debian's armhf: Raspberry Pi OS on older boards) with Debian's
# cross compiler (g++-arm-linux-gnueabihf). The tests run the target's
# programs under qemu-user, with the target's libraries from
# /usr/arm-linux-gnueabihf.
set(CMAKE_SYSTEM_PROCESSOR arm)
set(cross_triple arm-linux-gnueabihf)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
