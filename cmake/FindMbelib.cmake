# SPDX-License-Identifier: MIT
# FindMbelib: the mbelib AMBE/IMBE vocoder library.
#
# Looks, in this order:
#   1. under the prefix named by MBELIB_ROOT (CMake variable or environment
#      variable, see below), and only there when it is set;
#   2. where the pkg-config module libmbe says;
#   3. on the usual system and CMAKE_PREFIX_PATH paths.
# The header is mbelib.h, the library libmbe (shared or static; lib, lib64 or
# the multiarch folder). A candidate is accepted only if a C++ program that
# includes the header inside extern "C" links against it.
#
# Sets Mbelib_FOUND, MBELIB_INCLUDE_DIR, MBELIB_LIBRARY, Mbelib_VERSION (from
# MBELIB_VERSION in the header), and the imported target Mbelib::mbelib.

# MBELIB_ROOT in the environment counts in an existing build directory too:
# it replaces the cached value when that is empty, and whenever the
# environment's value has changed since the last configure. A value given
# with -DMBELIB_ROOT= stays as long as the environment's value does not
# change.
set(MBELIB_ROOT "${MBELIB_ROOT}" CACHE PATH "Install prefix of mbelib (include/mbelib.h, lib/libmbe)")
if(NOT "$ENV{MBELIB_ROOT}" STREQUAL "")
  if("${MBELIB_ROOT}" STREQUAL "" OR NOT "$ENV{MBELIB_ROOT}" STREQUAL "${_MBELIB_ENV_ROOT}")
    set(MBELIB_ROOT "$ENV{MBELIB_ROOT}" CACHE PATH "Install prefix of mbelib (include/mbelib.h, lib/libmbe)" FORCE)
  endif()
endif()
set(_MBELIB_ENV_ROOT "$ENV{MBELIB_ROOT}" CACHE INTERNAL "MBELIB_ROOT of the environment at the last configure")

# A new prefix means a new search: forget what was found under the old one.
if(NOT "${MBELIB_ROOT}" STREQUAL "${_MBELIB_SEARCHED_ROOT}")
  unset(MBELIB_INCLUDE_DIR CACHE)
  unset(MBELIB_LIBRARY CACHE)
  set(_MBELIB_SEARCHED_ROOT "${MBELIB_ROOT}" CACHE INTERNAL "MBELIB_ROOT of the last search")
endif()

set(_mbelib_suffixes lib lib64)
if(CMAKE_LIBRARY_ARCHITECTURE)
  list(APPEND _mbelib_suffixes lib/${CMAKE_LIBRARY_ARCHITECTURE})
endif()

if(MBELIB_ROOT)
  find_path(MBELIB_INCLUDE_DIR mbelib.h PATHS ${MBELIB_ROOT} PATH_SUFFIXES include NO_DEFAULT_PATH)
  find_library(MBELIB_LIBRARY NAMES mbe PATHS ${MBELIB_ROOT} PATH_SUFFIXES ${_mbelib_suffixes} NO_DEFAULT_PATH)
else()
  find_package(PkgConfig QUIET)
  if(PKG_CONFIG_FOUND)
    pkg_check_modules(PC_MBELIB QUIET libmbe)
  endif()
  find_path(MBELIB_INCLUDE_DIR mbelib.h HINTS ${PC_MBELIB_INCLUDEDIR} ${PC_MBELIB_INCLUDE_DIRS})
  find_library(MBELIB_LIBRARY NAMES mbe HINTS ${PC_MBELIB_LIBDIR} ${PC_MBELIB_LIBRARY_DIRS})
endif()

if(MBELIB_INCLUDE_DIR AND EXISTS "${MBELIB_INCLUDE_DIR}/mbelib.h")
  file(STRINGS "${MBELIB_INCLUDE_DIR}/mbelib.h" _mbelib_version_line REGEX "#define[ \t]+MBELIB_VERSION[ \t]+\"")
  if(_mbelib_version_line MATCHES "\"([^\"]*)\"")
    set(Mbelib_VERSION "${CMAKE_MATCH_1}")
  endif()
endif()

# The header has no extern "C" of its own: check that the wrapped include
# links, so that a library of another architecture or a broken install is
# reported here rather than at the link of voxloom.
if(NOT "${MBELIB_INCLUDE_DIR};${MBELIB_LIBRARY}" STREQUAL "${_MBELIB_CHECKED}")
  unset(MBELIB_LINKS CACHE)
endif()
if(MBELIB_INCLUDE_DIR AND MBELIB_LIBRARY AND NOT DEFINED MBELIB_LINKS)
  include(CheckCXXSourceCompiles)
  include(CMakePushCheckState)
  cmake_push_check_state(RESET)
  set(CMAKE_REQUIRED_INCLUDES ${MBELIB_INCLUDE_DIR})
  set(CMAKE_REQUIRED_LIBRARIES ${MBELIB_LIBRARY} m)
  set(CMAKE_REQUIRED_QUIET ON)
  check_cxx_source_compiles([[
    #include <cmath>
    extern "C" {
    #include <mbelib.h>
    }
    int main() {
      mbe_parms a, b, c;
      mbe_initMbeParms(&a, &b, &c);
      return 0;
    }
  ]] MBELIB_LINKS)
  cmake_pop_check_state()
  set(_MBELIB_CHECKED "${MBELIB_INCLUDE_DIR};${MBELIB_LIBRARY}" CACHE INTERNAL "mbelib candidate last checked")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Mbelib
  REQUIRED_VARS MBELIB_LIBRARY MBELIB_INCLUDE_DIR MBELIB_LINKS
  VERSION_VAR Mbelib_VERSION)

if(Mbelib_FOUND AND NOT TARGET Mbelib::mbelib)
  add_library(Mbelib::mbelib UNKNOWN IMPORTED)
  set_target_properties(Mbelib::mbelib PROPERTIES
    IMPORTED_LOCATION "${MBELIB_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${MBELIB_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES m)
endif()

mark_as_advanced(MBELIB_INCLUDE_DIR MBELIB_LIBRARY)
