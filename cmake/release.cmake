# SPDX-License-Identifier: MIT
# What makes the built programs a release: their man pages and documents in
# the install, the checks of the source tree, the Debian package and the
# uninstall target. Included at the end of the top-level CMakeLists.txt, once
# every folder has defined its programs.

# Every program of the suite that has a man page; a page is installed only
# with its program.
set(zelvane_manual_programs
  quadslice duoslice tessavox orbavox pagewick voxloom speechsieve pulsesieve zeroglide
  airmint airmix pcmwav quadlock duolock zelvane)
set(zelvane_man_pages)
set(zelvane_man_sources)
# Installed pages are compressed, as Debian policy asks (gzip -9n: best
# compression, no file name or time stamp, so the package is reproducible).
find_program(ZELVANE_GZIP gzip)
mark_as_advanced(ZELVANE_GZIP)
set(zelvane_installed_pages)
foreach(program IN LISTS zelvane_manual_programs)
  set(page ${PROJECT_SOURCE_DIR}/man/${program}.1)
  if(TARGET ${program} AND EXISTS ${page})
    # The sources read as they stand (man -l man/tessavox.1) and name the
    # release they describe; the built page takes the version of project(),
    # like version.h, and the check below holds the sources to it.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${page})
    file(READ ${page} text)
    string(REGEX REPLACE "\"zelvane [0-9]+\\.[0-9]+\\.[0-9]+\"" "\"zelvane ${PROJECT_VERSION}\"" text "${text}")
    string(REGEX REPLACE "zelvane version [0-9]+\\.[0-9]+\\.[0-9]+" "zelvane version ${PROJECT_VERSION}" text "${text}")
    set(built ${PROJECT_BINARY_DIR}/man/${program}.1)
    # Written only when it changes, so that the compressed page is not
    # made again at every configure.
    set(old_text "")
    if(EXISTS ${built})
      file(READ ${built} old_text)
    endif()
    if(NOT old_text STREQUAL text)
      file(WRITE ${built} "${text}")
    endif()
    list(APPEND zelvane_man_pages ${built})
    list(APPEND zelvane_man_sources ${page})
    if(ZELVANE_GZIP)
      add_custom_command(OUTPUT ${built}.gz
        COMMAND ${ZELVANE_GZIP} -9nc ${built} > ${built}.gz
        DEPENDS ${built}
        COMMENT "Compressing the man page ${program}.1")
      list(APPEND zelvane_installed_pages ${built}.gz)
    else()
      list(APPEND zelvane_installed_pages ${built})
    endif()
  endif()
endforeach()
add_custom_target(zelvane_man_pages ALL DEPENDS ${zelvane_installed_pages})
install(FILES ${zelvane_installed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(ZELVANE_TESTS)
  # Every source file carries the licence line (scripts/licence-header adds it).
  add_test(NAME licence_header_check COMMAND ${PROJECT_SOURCE_DIR}/scripts/licence-header --check)
  set_tests_properties(licence_header_check PROPERTIES WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})

  # MBELIB_ROOT in the environment reaches an existing build directory.
  add_test(NAME find_mbelib_takes_environment COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-find-mbelib ${PROJECT_SOURCE_DIR})

  # Every man page, as built and as it stands in the source tree, is read by
  # groff without a warning and names this release.
  add_test(NAME man_pages_parse COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-man-pages
    ${PROJECT_VERSION} ${zelvane_man_pages} ${zelvane_man_sources})
  set_tests_properties(man_pages_parse PROPERTIES SKIP_RETURN_CODE 77)

  # The uninstall script removes what an install put in place, and only that.
  add_test(NAME uninstall_removes_what_was_installed
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-uninstall ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
  set_tests_properties(uninstall_removes_what_was_installed PROPERTIES RUN_SERIAL TRUE)

  # The .deb unpacked into a temporary root: every program in it runs and
  # prints the version line, and the pages and documents are there.
  add_test(NAME deb_package_runs
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-deb-package ${PROJECT_BINARY_DIR} "zelvane version ${PROJECT_VERSION}")
  set_tests_properties(deb_package_runs PROPERTIES SKIP_RETURN_CODE 77 LABELS package TIMEOUT 600 RUN_SERIAL TRUE)

  # The package of a voxloom built against a shared mbelib installed by hand
  # (a stand-in libmbe) depends on mbelib and does not call its speech
  # silence.
  add_test(NAME deb_package_names_mbelib
    COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-deb-mbelib ${PROJECT_SOURCE_DIR} "zelvane version ${PROJECT_VERSION}")
  set_tests_properties(deb_package_names_mbelib PROPERTIES SKIP_RETURN_CODE 77 LABELS package TIMEOUT 600 RUN_SERIAL TRUE)
endif()

include(${PROJECT_SOURCE_DIR}/cmake/packaging.cmake)

# cmake --build BUILD --target uninstall: removes exactly the files that the
# last install listed in BUILD/install_manifest.txt.
if(NOT TARGET uninstall)
  add_custom_target(uninstall
    COMMAND ${CMAKE_COMMAND} -DMANIFEST=${PROJECT_BINARY_DIR}/install_manifest.txt
            -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
    COMMENT "Removing the files listed in install_manifest.txt")
endif()
