# SPDX-License-Identifier: MIT
# zelvane_program(NAME SOURCES... LIBS libs...)
# A program of the suite: a thin main linked to its subsystem library and the
# common frame, installed into bin/.
function(zelvane_program name)
  cmake_parse_arguments(P "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${P_SOURCES})
  target_link_libraries(${name} PRIVATE ${P_LIBS} zelvane_common)
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()

# zelvane_test(NAME SOURCES... LIBS libs... PROGRAMS programs...)
# A GoogleTest executable run by CTest. Every program named in PROGRAMS is
# built first and its path is passed to the test as the macro
# <PROGRAM>_PATH (upper case), for end-to-end runs through real pipes.
function(zelvane_test name)
  if(NOT ZELVANE_TESTS)
    return()
  endif()
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;PROGRAMS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} zelvane_common zelvane_testing GTest::gtest GTest::gtest_main)
  foreach(prog IN LISTS T_PROGRAMS)
    string(TOUPPER ${prog} upper)
    target_compile_definitions(${name} PRIVATE ${upper}_PATH="$<TARGET_FILE:${prog}>")
    add_dependencies(${name} ${prog})
  endforeach()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
endfunction()
