# SPDX-License-Identifier: MIT
# Cross build for 32-bit ARM Linux with hardware floating point (Raspberry Pi OS 32-bit, armhf) with
# the packaged cross compiler arm-linux-gnueabihf-g++.
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake
# (scripts/cross-build armhf does this). Programs built so run on the build
# machine under qemu-user: qemu-arm -L /usr/arm-linux-gnueabihf PROGRAM.
set(ZELVANE_CROSS_PROCESSOR arm)
set(ZELVANE_CROSS_TRIPLET arm-linux-gnueabihf)
set(ZELVANE_CROSS_QEMU qemu-arm)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
