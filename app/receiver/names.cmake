# SPDX-License-Identifier: MIT
# Name lists: talkgroups, radio ids and capcodes read from CSV files.
add_library(zelvane_names STATIC ${CMAKE_CURRENT_LIST_DIR}/names.cpp)
target_include_directories(zelvane_names PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_names PUBLIC zelvane_event)

zelvane_test(names_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/names_test.cpp LIBS zelvane_names)
