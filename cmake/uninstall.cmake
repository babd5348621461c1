# SPDX-License-Identifier: MIT
# Removes every file that the install listed in MANIFEST (install_manifest.txt
# of the build tree, written by cmake --install), and nothing else: folders
# stay, since the prefix's bin/ and share/ are shared with other software.
if(NOT EXISTS "${MANIFEST}")
  message(FATAL_ERROR "${MANIFEST} does not exist: nothing was installed from this build directory")
endif()
file(STRINGS "${MANIFEST}" installed)
foreach(file IN LISTS installed)
  if(IS_SYMLINK "$ENV{DESTDIR}${file}" OR EXISTS "$ENV{DESTDIR}${file}")
    message(STATUS "Removing $ENV{DESTDIR}${file}")
    file(REMOVE "$ENV{DESTDIR}${file}")
    if(EXISTS "$ENV{DESTDIR}${file}")
      message(FATAL_ERROR "Could not remove $ENV{DESTDIR}${file}")
    endif()
  else()
    message(STATUS "Already gone: $ENV{DESTDIR}${file}")
  endif()
endforeach()
