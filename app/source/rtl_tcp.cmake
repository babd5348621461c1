# SPDX-License-Identifier: MIT
# --rtl-tcp: the sample source that reads a running rtl_tcp server.
find_package(Threads REQUIRED)
add_library(zelvane_rtl_tcp STATIC ${CMAKE_CURRENT_LIST_DIR}/rtl_tcp_source.cpp)
target_include_directories(zelvane_rtl_tcp PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_rtl_tcp PUBLIC Threads::Threads)

zelvane_test(rtl_tcp_source_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/rtl_tcp_source_test.cpp LIBS zelvane_rtl_tcp)
