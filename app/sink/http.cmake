# SPDX-License-Identifier: MIT
# The web monitor sink (cpp-httplib from the package archive), its tests,
# the harness that replays events into it, and the browser tests of the page.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(Threads REQUIRED)
add_library(zelvane_http STATIC
  ${CMAKE_CURRENT_LIST_DIR}/http_options.cpp
  ${CMAKE_CURRENT_LIST_DIR}/http_sink.cpp
)
target_include_directories(zelvane_http PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_http PUBLIC zelvane_event PRIVATE zelvane_web PkgConfig::HTTPLIB Threads::Threads)

zelvane_test(http_sink_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/http_sink_test.cpp
  LIBS zelvane_http zelvane_event PkgConfig::HTTPLIB)

if(ZELVANE_TESTS)
  # Not installed: a test tool.
  add_executable(http_sink_harness ${CMAKE_CURRENT_LIST_DIR}/http_sink_harness.cpp)
  target_link_libraries(http_sink_harness PRIVATE zelvane_http PkgConfig::SNDFILE)

  # The page in headless Chromium (chromium, chromium-driver,
  # python3-selenium); the test exits 77 (skipped) when they are missing.
  # The system's python3 is the one python3-selenium installs into.
  find_program(ZELVANE_BROWSER_PYTHON NAMES python3 PATHS /usr/bin NO_DEFAULT_PATH)
  find_program(ZELVANE_BROWSER_PYTHON NAMES python3)
  if(ZELVANE_BROWSER_PYTHON)
    add_test(NAME web_monitor_browser_test
      COMMAND ${ZELVANE_BROWSER_PYTHON} ${PROJECT_SOURCE_DIR}/app/web/web_monitor_test.py
              --harness $<TARGET_FILE:http_sink_harness>
              --screenshot ${CMAKE_CURRENT_BINARY_DIR}/web-monitor.png)
    set_tests_properties(web_monitor_browser_test PROPERTIES TIMEOUT 300 SKIP_RETURN_CODE 77)
  endif()
endif()
