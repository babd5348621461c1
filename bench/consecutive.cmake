# SPDX-License-Identifier: MIT
# Consecutive-transmission benchmark: a second transmission after a short
# gap, through the receiving chains as processes. It builds the baseband with
# the test-signal generator's library.
if("gen" IN_LIST ZELVANE_SUBSYSTEMS AND "dmr" IN_LIST ZELVANE_SUBSYSTEMS AND "ysf" IN_LIST ZELVANE_SUBSYSTEMS
   AND EXISTS ${CMAKE_SOURCE_DIR}/dmr/encode/CMakeLists.txt AND EXISTS ${CMAKE_SOURCE_DIR}/ysf/encode/CMakeLists.txt)
  add_executable(consecutive_bench ${CMAKE_CURRENT_SOURCE_DIR}/consecutive_bench.cpp)
  target_link_libraries(consecutive_bench PRIVATE zelvane_bench_chain zelvane_gen)
endif()
