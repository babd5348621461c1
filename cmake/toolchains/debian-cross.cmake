# SPDX-License-Identifier: MIT
# The part of a cross build that every Debian cross compiler shares, included
# by the toolchain files of this folder after they set
#   ZELVANE_CROSS_PROCESSOR  CMAKE_SYSTEM_PROCESSOR of the target (aarch64, arm)
#   ZELVANE_CROSS_TRIPLET    the compiler's prefix and multiarch folder (aarch64-linux-gnu)
#   ZELVANE_CROSS_QEMU       the qemu-user program that runs the target's programs
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${ZELVANE_CROSS_PROCESSOR})
set(CMAKE_C_COMPILER ${ZELVANE_CROSS_TRIPLET}-gcc)
set(CMAKE_CXX_COMPILER ${ZELVANE_CROSS_TRIPLET}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${ZELVANE_CROSS_TRIPLET})

# Headers and libraries only of the target: the cross compiler's own root and
# the multiarch folders of target packages (for example libsndfile1-dev:arm64).
set(CMAKE_FIND_ROOT_PATH /usr/${ZELVANE_CROSS_TRIPLET} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(ENV{PKG_CONFIG_LIBDIR} /usr/lib/${ZELVANE_CROSS_TRIPLET}/pkgconfig)
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Lets CMake and CTest run the target's programs on the build machine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${ZELVANE_CROSS_QEMU} -L /usr/${ZELVANE_CROSS_TRIPLET})
