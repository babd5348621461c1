# SPDX-License-Identifier: MIT
# The Debian package, built by CPack (scripts/package, or cpack -G DEB in the
# build tree): the installed programs, their compressed man pages, README,
# LICENSE, CHANGELOG and copyright in share/doc/zelvane. Its dependencies come
# from the libraries the programs link (dpkg-shlibdeps), and mbelib's below.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zelvane)
set(CPACK_PACKAGE_VENDOR "the zelvane developers")
set(CPACK_PACKAGE_CONTACT "the zelvane developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "receivers for DMR, System Fusion and POCSAG from FM-demodulated baseband")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS OFF)

set(_zelvane_description
  "Small stream-filter programs joined by pipes: four- and two-level FSK\n"
  "demodulators, decoders of DMR (two-slot TDMA) voice and call metadata,\n"
  "System Fusion voice and call signs and POCSAG pages, a speech synthesiser\n"
  "for the decoded voice frames, filters and a test-signal generator.")
# mbelib is optional: with it voxloom speaks, without it voxloom writes
# silence. mbe/ decides which, and its find_package result stays in that
# folder's scope; what voxloom links and the cached MBELIB_LIBRARY are seen
# from here.
set(_zelvane_voxloom_mbelib OFF)
if(TARGET voxloom)
  get_target_property(_zelvane_voxloom_links voxloom LINK_LIBRARIES)
  if("Mbelib::mbelib" IN_LIST _zelvane_voxloom_links)
    set(_zelvane_voxloom_mbelib ON)
  endif()
endif()
# The package that a voxloom linked to a shared libmbe depends on. "auto":
# the Debian package that holds the library (dpkg-shlibdeps names it too),
# or, for an mbelib installed by hand, libmbe1, the runtime package that
# mbelib's own Debian packaging builds. Empty: no dependency, for machines
# whose mbelib belongs to no package; the description then says that
# voxloom needs it.
set(ZELVANE_DEB_MBELIB_DEPENDS auto CACHE STRING
  "Package that the .deb depends on for a shared mbelib (auto: the package holding libmbe, else libmbe1; empty: none)")
set(_zelvane_mbelib_depends "")
set(_zelvane_mbelib_by_shlibdeps OFF)
if(_zelvane_voxloom_mbelib AND MBELIB_LIBRARY MATCHES "\\.so")
  if(ZELVANE_DEB_MBELIB_DEPENDS STREQUAL "auto")
    set(_zelvane_mbelib_depends libmbe1)
    find_program(ZELVANE_DPKG_QUERY dpkg-query)
    mark_as_advanced(ZELVANE_DPKG_QUERY)
    if(ZELVANE_DPKG_QUERY)
      get_filename_component(_zelvane_mbelib_file "${MBELIB_LIBRARY}" REALPATH)
      execute_process(COMMAND ${ZELVANE_DPKG_QUERY} -S "${_zelvane_mbelib_file}"
        OUTPUT_VARIABLE _zelvane_mbelib_owner ERROR_QUIET RESULT_VARIABLE _zelvane_mbelib_owner_status)
      # "libmbe1:amd64: /usr/lib/x86_64-linux-gnu/libmbe.so.1.3.0"
      if(_zelvane_mbelib_owner_status EQUAL 0 AND _zelvane_mbelib_owner MATCHES "^([^:, ]+)")
        set(_zelvane_mbelib_depends ${CMAKE_MATCH_1})
        set(_zelvane_mbelib_by_shlibdeps ON)
      endif()
    endif()
  else()
    set(_zelvane_mbelib_depends "${ZELVANE_DEB_MBELIB_DEPENDS}")
  endif()
endif()
if(_zelvane_mbelib_depends)
  # A package that holds the library is named by dpkg-shlibdeps, with its
  # version; one installed by hand is named here.
  if(NOT _zelvane_mbelib_by_shlibdeps)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_zelvane_mbelib_depends}")
  endif()
  message(STATUS "Debian package: depends on ${_zelvane_mbelib_depends} for the mbelib of voxloom")
endif()

if(_zelvane_voxloom_mbelib AND MBELIB_LIBRARY MATCHES "\\.so")
  if(_zelvane_mbelib_depends)
    list(APPEND _zelvane_description
      "\n.\nThis build of voxloom speaks through the mbelib vocoder library (libmbe),\nwhich the package depends on.")
  else()
    list(APPEND _zelvane_description
      "\n.\nThis build of voxloom speaks through the mbelib vocoder library (libmbe),\nwhich must be installed for it to start.")
  endif()
elseif(_zelvane_voxloom_mbelib)
  list(APPEND _zelvane_description
    "\n.\nThis build of voxloom has the mbelib vocoder library linked in and speaks.")
else()
  list(APPEND _zelvane_description
    "\n.\nThis build of voxloom has no vocoder library: its speech output is\nsilence. Build from source with mbelib installed for speech.")
endif()
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION ${_zelvane_description})
set(CPACK_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")

# /usr/share/doc/zelvane/copyright, as Debian policy asks, in the
# machine-readable format, made from LICENSE.
file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE _zelvane_licence_lines)
set(_zelvane_copyright_holder "the zelvane developers")
set(_zelvane_licence_text "")
set(_zelvane_licence_started OFF)
foreach(line IN LISTS _zelvane_licence_lines)
  if(line MATCHES "^Copyright \\(c\\) (.*)$")
    set(_zelvane_copyright_holder "${CMAKE_MATCH_1}")
    set(_zelvane_licence_started ON)
  elseif(_zelvane_licence_started)
    # An empty line of the licence is " ." in a control-style field.
    if(line STREQUAL "")
      string(APPEND _zelvane_licence_text " .\n")
    else()
      string(APPEND _zelvane_licence_text " ${line}\n")
    endif()
  endif()
endforeach()
string(REGEX REPLACE "^ \\.\n" "" _zelvane_licence_text "${_zelvane_licence_text}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: zelvane\n"
  "\n"
  "Files: *\n"
  "Copyright: ${_zelvane_copyright_holder}\n"
  "License: Expat\n"
  "${_zelvane_licence_text}")
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

# A cross build is packaged for its target's architecture.
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
  endif()
endif()

include(CPack)
