# SPDX-License-Identifier: MIT
# Sensitivity benchmark: generated transmissions through the receiving
# chains as processes, decode success against SNR and clock error.
# It links the DMR and System Fusion fixture encoders for the voice it sends.
if("gen" IN_LIST ZELVANE_SUBSYSTEMS AND "dmr" IN_LIST ZELVANE_SUBSYSTEMS AND "ysf" IN_LIST ZELVANE_SUBSYSTEMS
   AND EXISTS ${CMAKE_SOURCE_DIR}/dmr/encode/CMakeLists.txt AND EXISTS ${CMAKE_SOURCE_DIR}/ysf/encode/CMakeLists.txt)
  find_package(Threads REQUIRED)
  if(NOT TARGET zelvane_bench_chain)
    add_library(zelvane_bench_chain STATIC ${CMAKE_CURRENT_SOURCE_DIR}/chain_pipeline.cpp)
    target_include_directories(zelvane_bench_chain PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  endif()
  add_executable(sensitivity_bench ${CMAKE_CURRENT_SOURCE_DIR}/sensitivity_bench.cpp)
  target_link_libraries(sensitivity_bench PRIVATE zelvane_bench_chain zelvane_dmr_encode zelvane_ysf_encode Threads::Threads)
endif()
