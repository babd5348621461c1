# SPDX-License-Identifier: MIT
# The Debian package, built by CPack (scripts/package, or cpack -G DEB in the
# build tree): the installed programs, their man pages, README, LICENSE and
# CHANGELOG in share/doc/zelvane. Its dependencies come from the libraries
# the programs link (dpkg-shlibdeps).
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
# silence. Where voxloom links a shared libmbe that a Debian package
# provides, shlibdeps makes it a dependency; one installed by hand belongs to
# no package and can only be named in the description.
if(TARGET voxloom AND Mbelib_FOUND AND MBELIB_LIBRARY MATCHES "\\.so")
  list(APPEND _zelvane_description
    "\n.\nThis build of voxloom links mbelib (libmbe), which must be installed for\nit to start.")
else()
  list(APPEND _zelvane_description
    "\n.\nThis build of voxloom has no vocoder library: its speech output is\nsilence. Build from source with mbelib installed for speech.")
endif()
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION ${_zelvane_description})
set(CPACK_PACKAGE_DESCRIPTION "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}")

# A cross build is packaged for its target's architecture.
if(CMAKE_CROSSCOMPILING)
  if(CMAKE_SYSTEM_PROCESSOR STREQUAL "aarch64")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE arm64)
  elseif(CMAKE_SYSTEM_PROCESSOR MATCHES "^arm")
    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE armhf)
  endif()
endif()

include(CPack)
