# SPDX-License-Identifier: MIT
# zelvane: CPU per second of input with every chain running, and the latency
# from a sample to its event. It runs the programs zelvane and airmint built
# in bin/.
if("app" IN_LIST ZELVANE_SUBSYSTEMS AND "gen" IN_LIST ZELVANE_SUBSYSTEMS)
  add_executable(zelvane_bench ${CMAKE_CURRENT_LIST_DIR}/zelvane_bench.cpp)
endif()
