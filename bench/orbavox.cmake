# SPDX-License-Identifier: MIT
# orbavox's throughput: random symbols and long generated transmissions in
# each voice mode through the program as a process.
if("ysf" IN_LIST ZELVANE_SUBSYSTEMS AND EXISTS ${CMAKE_SOURCE_DIR}/ysf/encode/CMakeLists.txt)
  add_executable(orbavox_bench ${CMAKE_CURRENT_SOURCE_DIR}/orbavox_bench.cpp)
  target_link_libraries(orbavox_bench PRIVATE zelvane_ysf_encode zelvane_bench_pipe)
endif()
