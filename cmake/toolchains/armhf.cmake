# SPDX-License-Identifier: MIT
# Cross build for 32-bit ARM Linux with hardware floating point (Raspberry Pi OS 32-bit, armhf) with
# the packaged cross compiler arm-linux-gnueabihf-g++.
#   cmake -S . -B build-armhf -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/armhf.cmake
# (scripts/cross-build armhf does this). Programs built so run on the build
# machine under qemu-user: qemu-arm -L /usr/arm-linux-gnueabihf PROGRAM.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR arm)
set(CMAKE_C_COMPILER arm-linux-gnueabihf-gcc)
set(CMAKE_CXX_COMPILER arm-linux-gnueabihf-g++)
set(CMAKE_LIBRARY_ARCHITECTURE arm-linux-gnueabihf)

# Headers and libraries only of the target: the cross compiler's own root and
# the multiarch folders of target packages (for example libsndfile1-dev:armhf).
set(CMAKE_FIND_ROOT_PATH /usr/arm-linux-gnueabihf /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/arm-linux-gnueabihf/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Lets CMake and CTest run the target's programs on the build machine.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-arm -L /usr/arm-linux-gnueabihf)
