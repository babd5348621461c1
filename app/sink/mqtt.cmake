# SPDX-License-Identifier: MIT
# MQTT output (--mqtt): libmosquitto, its network thread and a publishing
# thread of the sink's own.
pkg_check_modules(MOSQUITTO REQUIRED IMPORTED_TARGET libmosquitto)
find_package(Threads REQUIRED)
add_library(zelvane_mqtt_sink STATIC ${CMAKE_CURRENT_LIST_DIR}/mqtt_sink.cpp)
target_include_directories(zelvane_mqtt_sink PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_mqtt_sink PUBLIC zelvane_event PkgConfig::MOSQUITTO Threads::Threads)

# A real broker and subscriber for the tests and the benchmark, and the
# harness that feeds numbered events into either sink (the tests kill it).
if(ZELVANE_TESTS OR ZELVANE_BENCH)
  add_library(zelvane_test_broker STATIC ${CMAKE_CURRENT_LIST_DIR}/test_broker.cpp)
  target_include_directories(zelvane_test_broker PUBLIC ${CMAKE_CURRENT_LIST_DIR})
  target_link_libraries(zelvane_test_broker PUBLIC zelvane_testing PkgConfig::MOSQUITTO Threads::Threads)
endif()
if(ZELVANE_TESTS)
  add_executable(sink_harness ${CMAKE_CURRENT_LIST_DIR}/sink_harness.cpp)
  target_link_libraries(sink_harness PRIVATE zelvane_sqlite_sink zelvane_mqtt_sink)
  zelvane_test(sqlite_sink_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/sqlite_sink_test.cpp
    LIBS zelvane_sqlite_sink zelvane_test_broker PROGRAMS sink_harness)
  zelvane_test(mqtt_sink_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/mqtt_sink_test.cpp
    LIBS zelvane_mqtt_sink zelvane_test_broker PROGRAMS sink_harness)
endif()
