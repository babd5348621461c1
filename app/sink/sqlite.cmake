# SPDX-License-Identifier: MIT
# The call and page log (--db): libsqlite3 behind a writer thread of its own.
pkg_check_modules(SQLITE3 REQUIRED IMPORTED_TARGET sqlite3)
find_package(Threads REQUIRED)
add_library(zelvane_sqlite_sink STATIC ${CMAKE_CURRENT_LIST_DIR}/sqlite_sink.cpp)
target_include_directories(zelvane_sqlite_sink PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_sqlite_sink PUBLIC zelvane_event PkgConfig::SQLITE3 Threads::Threads)
