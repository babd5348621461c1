# SPDX-License-Identifier: MIT
# Cross build for 64-bit ARM Linux (Raspberry Pi 3, 4 and 5 with a 64-bit system) with
# the packaged cross compiler aarch64-linux-gnu-g++.
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64.cmake
# (scripts/cross-build aarch64 does this). Programs built so run on the build
# machine under qemu-user: qemu-aarch64 -L /usr/aarch64-linux-gnu PROGRAM.
set(ZELVANE_CROSS_PROCESSOR aarch64)
set(ZELVANE_CROSS_TRIPLET aarch64-linux-gnu)
set(ZELVANE_CROSS_QEMU qemu-aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/debian-cross.cmake)
