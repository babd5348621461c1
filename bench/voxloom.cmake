# SPDX-License-Identifier: MIT
# voxloom's cost per frame: frames through the program as a process, and its
# logic in-process with the silent stand-in.
if("mbe" IN_LIST ZELVANE_SUBSYSTEMS)
  add_executable(voxloom_bench ${CMAKE_CURRENT_SOURCE_DIR}/voxloom_bench.cpp)
  target_link_libraries(voxloom_bench PRIVATE zelvane_voxloom zelvane_silent_vocoder zelvane_bench_pipe)
endif()
