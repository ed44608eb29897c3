# CPack runs this before it makes the Debian package of a cross build, to
# give the package the dependencies dpkg-shlibdeps finds for its programs.
# Debian's cross libraries stand in for the target machine's own, but their
# packages are named for the machine that builds (libgcc-s1-arm64-cross,
# libc6:arm64); on the target the same libraries come from the packages of
# the plain names, which the package must depend on instead.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()

set(_work "${CPACK_PACKAGE_DIRECTORY}/_CPack_Packages/shlibdeps")
file(MAKE_DIRECTORY "${_work}/debian")
file(TOUCH "${_work}/debian/control")  # dpkg-shlibdeps insists on one
set(_programs)
foreach(_program IN LISTS CPACK_VANTOREL_PROGRAMS)
  list(APPEND _programs "-e${_program}")
endforeach()
# The programs are read where the build left them, not from the package's
# folder, of which dpkg-shlibdeps warns; its messages count only on failure.
execute_process(
  COMMAND dpkg-shlibdeps -O "-l${CPACK_VANTOREL_LIBRARY_DIR}" ${_programs}
  WORKING_DIRECTORY "${_work}"
  OUTPUT_VARIABLE _substitutions OUTPUT_STRIP_TRAILING_WHITESPACE
  ERROR_VARIABLE _messages RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  message(FATAL_ERROR "dpkg-shlibdeps failed:\n${_messages}")
endif()
string(REGEX MATCH "shlibs:Depends=([^\n]*)" _ "${_substitutions}")
set(_depends "${CMAKE_MATCH_1}")
string(REPLACE "-${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}-cross" "" _depends "${_depends}")
string(REPLACE ":${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}" "" _depends "${_depends}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS "${_depends}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
