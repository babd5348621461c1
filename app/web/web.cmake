# SPDX-License-Identifier: MIT
# The web monitor's page: plain HTML, CSS and JavaScript, compiled into the
# program (so that zelvane serves it with no files beside it) and installed
# to share/zelvane/web for those who want to read or serve it themselves.
set(ZELVANE_WEB_FILES index.html monitor.css monitor.js)
set(zelvane_web_dir ${CMAKE_CURRENT_LIST_DIR})
list(TRANSFORM ZELVANE_WEB_FILES PREPEND ${zelvane_web_dir}/ OUTPUT_VARIABLE zelvane_web_paths)
add_custom_command(
  OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp
  COMMAND ${CMAKE_COMMAND} -DDIR=${zelvane_web_dir} "-DFILES=${ZELVANE_WEB_FILES}"
          -DOUT=${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp -P ${zelvane_web_dir}/embed_web.cmake
  DEPENDS ${zelvane_web_paths} ${zelvane_web_dir}/embed_web.cmake
  COMMENT "Embedding the web monitor's page" VERBATIM)
add_library(zelvane_web STATIC ${CMAKE_CURRENT_BINARY_DIR}/web_assets.cpp)
target_include_directories(zelvane_web PUBLIC ${zelvane_web_dir})
install(FILES ${zelvane_web_paths} DESTINATION ${CMAKE_INSTALL_DATADIR}/zelvane/web)
