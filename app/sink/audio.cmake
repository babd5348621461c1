# SPDX-License-Identifier: MIT
# The speech files of -a DIR: one sound file per call (libsndfile) and its
# JSON sidecar (RapidJSON).
add_library(zelvane_audio_sink STATIC
  ${CMAKE_CURRENT_LIST_DIR}/audio_sink.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_name_template.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sidecar.cpp
)
target_include_directories(zelvane_audio_sink PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_audio_sink PUBLIC zelvane_event PkgConfig::SNDFILE)

zelvane_test(audio_sink_test SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/audio_sink_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/file_name_template_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sidecar_test.cpp
  LIBS zelvane_audio_sink)
