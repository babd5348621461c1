# SPDX-License-Identifier: MIT
# pagewick's throughput: generated POCSAG bit streams through the program as
# a process.
if("pocsag" IN_LIST ZELVANE_SUBSYSTEMS AND EXISTS ${CMAKE_SOURCE_DIR}/pocsag/CMakeLists.txt)
  add_executable(pocsag_bench ${CMAKE_CURRENT_SOURCE_DIR}/pocsag_bench.cpp)
  target_link_libraries(pocsag_bench PRIVATE zelvane_pocsag_encode zelvane_bench_pipe)
endif()

# Seeded random bits, the noise that scripts/pocsag-figures counts false pages in.
add_executable(random_bits ${CMAKE_CURRENT_SOURCE_DIR}/random_bits.cpp)
