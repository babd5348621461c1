# SPDX-License-Identifier: MIT
# Chain benchmark: CPU time and peak memory of whole receiving chains on long
# generated transmissions, and the latency of a block through each stage.
if("gen" IN_LIST ZELVANE_SUBSYSTEMS AND EXISTS ${CMAKE_SOURCE_DIR}/gen/CMakeLists.txt)
  if(NOT TARGET zelvane_bench_chain)
    add_library(zelvane_bench_chain STATIC ${CMAKE_CURRENT_SOURCE_DIR}/chain_pipeline.cpp)
    target_include_directories(zelvane_bench_chain PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  add_executable(chain_bench ${CMAKE_CURRENT_SOURCE_DIR}/chain_bench.cpp)
  target_link_libraries(chain_bench PRIVATE zelvane_bench_chain)
endif()
