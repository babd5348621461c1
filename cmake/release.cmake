# SPDX-License-Identifier: MIT
# What makes the built programs a release: their man pages and documents in
# the install, the checks of the source tree, the Debian package and the
# uninstall target. Included at the end of the top-level CMakeLists.txt, once
# every folder has defined its programs.

# Every program of the suite that has a man page; a page is installed only
# with its program.
set(zelvane_manual_programs
  quadslice duoslice tessavox orbavox pagewick voxloom speechsieve pulsesieve zeroglide
  airmint pcmwav quadlock duolock zelvane)
set(zelvane_man_pages)
foreach(program IN LISTS zelvane_manual_programs)
  set(page ${PROJECT_SOURCE_DIR}/man/${program}.1)
  if(TARGET ${program} AND EXISTS ${page})
    # The footer carries the version: the page is configured like version.h.
    configure_file(${page} ${PROJECT_BINARY_DIR}/man/${program}.1 @ONLY)
    list(APPEND zelvane_man_pages ${PROJECT_BINARY_DIR}/man/${program}.1)
  endif()
endforeach()
install(FILES ${zelvane_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES README.md LICENSE CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

if(ZELVANE_TESTS)
  # Every source file carries the licence line (scripts/licence-header adds it).
  add_test(NAME licence_header_check COMMAND ${PROJECT_SOURCE_DIR}/scripts/licence-header --check)
  set_tests_properties(licence_header_check PROPERTIES WORKING_DIRECTORY ${PROJECT_SOURCE_DIR})

  # MBELIB_ROOT in the environment reaches an existing build directory.
  add_test(NAME find_mbelib_takes_environment COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-find-mbelib ${PROJECT_SOURCE_DIR})

  # Every installed man page is read by groff without a warning.
  add_test(NAME man_pages_parse COMMAND ${PROJECT_SOURCE_DIR}/cmake/check-man-pages ${zelvane_man_pages})
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
