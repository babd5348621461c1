# SPDX-License-Identifier: MIT
# dsdcc_anchor: the Debian package libdsdcc's DMR and System Fusion decoder
# as a stream filter, the independent anchor of the sensitivity benchmark.
# Built only where pkg-config finds the library; the benchmark notes its
# absence and runs without it.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(DSDCC QUIET IMPORTED_TARGET libdsdcc)
endif()
if(DSDCC_FOUND)
  add_executable(dsdcc_anchor ${CMAKE_CURRENT_SOURCE_DIR}/dsdcc_anchor.cpp)
  target_link_libraries(dsdcc_anchor PRIVATE PkgConfig::DSDCC)
endif()
