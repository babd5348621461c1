# SPDX-License-Identifier: MIT
# Cross build for 64-bit ARM Linux (Raspberry Pi 3, 4 and 5 with a 64-bit system) with
# the packaged cross compiler aarch64-linux-gnu-g++.
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/aarch64.cmake
# (scripts/cross-build aarch64 does this). Programs built so run on the build
# machine under qemu-user: qemu-aarch64 -L /usr/aarch64-linux-gnu PROGRAM.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
set(CMAKE_LIBRARY_ARCHITECTURE aarch64-linux-gnu)

# Headers and libraries only of the target: the cross compiler's own root and
# the multiarch folders of target packages (for example libsndfile1-dev:arm64).
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/aarch64-linux-gnu/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Lets CMake and CTest run the target's programs on the build machine.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-aarch64 -L /usr/aarch64-linux-gnu)
