# SPDX-License-Identifier: MIT
# tessavox's throughput: random symbols and a long generated two-slot call
# stream through the program as a process.
if("dmr" IN_LIST ZELVANE_SUBSYSTEMS AND EXISTS ${CMAKE_SOURCE_DIR}/dmr/encode/CMakeLists.txt)
  add_executable(tessavox_bench ${CMAKE_CURRENT_SOURCE_DIR}/tessavox_bench.cpp)
  target_link_libraries(tessavox_bench PRIVATE zelvane_dmr_encode zelvane_bench_pipe)
endif()
