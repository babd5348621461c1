# SPDX-License-Identifier: MIT
# The wideband room: frequencies and the channel plan, the channelizer (FFTW3
# fast convolution, libsoxr for rates with no small ratio to 48000) and the
# per-channel activity detector.
pkg_check_modules(FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
add_library(zelvane_wideband STATIC
  ${CMAKE_CURRENT_LIST_DIR}/frequency.cpp
  ${CMAKE_CURRENT_LIST_DIR}/channelizer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/activity.cpp
)
target_include_directories(zelvane_wideband PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(zelvane_wideband PUBLIC zelvane_event PkgConfig::FFTW3F PkgConfig::SOXR)

zelvane_test(frequency_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/frequency_test.cpp LIBS zelvane_wideband)
zelvane_test(activity_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/activity_test.cpp LIBS zelvane_wideband)
# The channelizer against the narrowband path (zelvane_app's resampler and
# discriminator, zelvane's decoding) on airmint's transmissions.
zelvane_test(channelizer_test SOURCES ${CMAKE_CURRENT_LIST_DIR}/channelizer_test.cpp
  LIBS zelvane_wideband zelvane_app zelvane_vocoder PROGRAMS airmint airmix zelvane)
# The channelizer's inner loops (the weighing of bins, the turning of each
# block) are plain float loops that vectorize at -O3.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/channelizer.cpp PROPERTIES COMPILE_OPTIONS -O3)
