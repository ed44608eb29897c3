# What `cmake --install` puts where, and the package CPack makes of it
# (`cmake --build <folder> --target package`): a Debian package on Linux, a
# .zip in the Windows cross build. Files that need the version, compression
# or other line ends are made at build time in <build>/packaging/.

include(GNUInstallDirs)
set(_staged "${CMAKE_CURRENT_BINARY_DIR}/packaging")
set(_here "${CMAKE_CURRENT_LIST_DIR}")

# Every program the build makes goes in the package.
set(_programs vantorel)
if(TARGET vantorel-inspect)
  list(APPEND _programs vantorel-inspect)
endif()

# Directories that installation creates on its way (usr/, usr/share/, ...)
# get these permissions whatever the umask of the build; CPack follows.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
# The programs go into the packages without their symbols.
set(CPACK_STRIP_FILES ON)

if(WIN32)
  # The .zip: the programs, the licence, the README and the example, side by
  # side; the licence and the README with Windows line ends.
  set(_windows_texts)
  foreach(_text "LICENSE=LICENSE.txt" "README.md=README.md")
    string(REPLACE "=" ";" _text "${_text}")
    list(GET _text 0 _source)
    list(GET _text 1 _target)
    add_custom_command(
      OUTPUT "${_staged}/${_target}"
      COMMAND "${CMAKE_COMMAND}" "-DINPUT=${PROJECT_SOURCE_DIR}/${_source}"
              "-DOUTPUT=${_staged}/${_target}" -P "${_here}/crlf.cmake"
      DEPENDS "${PROJECT_SOURCE_DIR}/${_source}" "${_here}/crlf.cmake"
      COMMENT "Windows line ends for ${_target}"
      VERBATIM)
    list(APPEND _windows_texts "${_staged}/${_target}")
  endforeach()
  add_custom_target(vantorel_package_files ALL DEPENDS ${_windows_texts})

  install(TARGETS ${_programs} RUNTIME DESTINATION .)
  install(FILES ${_windows_texts} DESTINATION .)
  install(DIRECTORY examples/ DESTINATION examples)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "Vantorel-${PROJECT_VERSION}-win64")
else()
  # The Debian package. Its documentation folder is named after the package,
  # as Debian requires, and holds the copyright file, the changelog, the
  # README and the example; the man pages are compressed.
  set(VANTOREL_DEBIAN_VERSION
      "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
  set(_docdir "${CMAKE_INSTALL_DATAROOTDIR}/doc/vantorel")
  find_program(GZIP_PROGRAM gzip REQUIRED)
  configure_file("${_here}/debian/changelog.in" "${_staged}/changelog" @ONLY)

  # vantorel_gzip(SOURCE OUT): OUT names SOURCE.gz, made at build time.
  function(vantorel_gzip source out)
    get_filename_component(name "${source}" NAME)
    add_custom_command(
      OUTPUT "${_staged}/${name}.gz"
      COMMAND "${CMAKE_COMMAND}" "-DGZIP=${GZIP_PROGRAM}" "-DINPUT=${source}"
              "-DOUTPUT=${_staged}/${name}.gz" -P "${_here}/gzip.cmake"
      DEPENDS "${source}" "${_here}/gzip.cmake"
      COMMENT "Compressing ${name}"
      VERBATIM)
    set(${out} "${_staged}/${name}.gz" PARENT_SCOPE)
  endfunction()
  vantorel_gzip("${_staged}/changelog" _changelog)
  set(_man_pages)
  foreach(_program IN LISTS _programs)
    vantorel_gzip("${PROJECT_SOURCE_DIR}/doc/${_program}.1" _man_page)
    list(APPEND _man_pages "${_man_page}")
  endforeach()
  add_custom_target(vantorel_package_files ALL DEPENDS ${_changelog} ${_man_pages})

  install(TARGETS ${_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Stripped as Debian's own packages are: without the compilers' .comment
  # and .note sections too, which the programs never read.
  install(CODE "
    if(CMAKE_INSTALL_DO_STRIP)
      foreach(_program ${_programs})
        execute_process(
          COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
                  \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${_program}\"
          COMMAND_ERROR_IS_FATAL ANY)
      endforeach()
    endif()")
  install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES "${_here}/completion/vantorel" "${_here}/completion/vantorel-inspect"
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  install(FILES README.md "${_here}/debian/copyright" "${_changelog}"
          DESTINATION ${_docdir})
  install(DIRECTORY examples/ DESTINATION ${_docdir}/examples)

  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_VERSION "${VANTOREL_DEBIAN_VERSION}")
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Vantorel developers <developers@vantorel.example>")
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  file(READ "${_here}/debian/description" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${_here}/debian/description")
  if(CMAKE_CROSSCOMPILING)
    # The machine the programs are for, not the one that builds them.
    execute_process(
      COMMAND dpkg-architecture -t "${CMAKE_LIBRARY_ARCHITECTURE}" -q DEB_HOST_ARCH
      OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
      ERROR_QUIET COMMAND_ERROR_IS_FATAL ANY)
    # Depends: dpkg-shlibdeps on the programs against Debian's cross
    # libraries, named as the target machine names them.
    set(CPACK_PROJECT_CONFIG_FILE "${_here}/cross_depends.cmake")
    list(TRANSFORM _programs PREPEND "${CMAKE_CURRENT_BINARY_DIR}/" OUTPUT_VARIABLE
         CPACK_VANTOREL_PROGRAMS)
    set(CPACK_VANTOREL_LIBRARY_DIR "${CMAKE_FIND_ROOT_PATH}/lib")
  else()
    # Depends: computed by dpkg-shlibdeps from the libraries the programs link.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  endif()
  set(CPACK_PACKAGE_NAME vantorel)
endif()
# The CMake package: find_package(Vantorel) from wherever this installation
# lands, the programs found from the package's own folder.
include(CMakePackageConfigHelpers)
if(WIN32)
  set(_cmake_package_dir cmake)
  set(VANTOREL_PACKER_FILE "Vantorel.exe")
  set(VANTOREL_INSPECT_FILE "vantorel-inspect.exe")
else()
  set(_cmake_package_dir "${CMAKE_INSTALL_DATADIR}/cmake/Vantorel")
  set(VANTOREL_PACKER_FILE "${CMAKE_INSTALL_BINDIR}/vantorel")
  set(VANTOREL_INSPECT_FILE "${CMAKE_INSTALL_BINDIR}/vantorel-inspect")
endif()
file(RELATIVE_PATH VANTOREL_CONFIG_TO_PREFIX "/prefix/${_cmake_package_dir}" "/prefix")
configure_file("${PROJECT_SOURCE_DIR}/cmake/package/VantorelConfig.cmake.in"
               "${_staged}/VantorelConfig.cmake" @ONLY)
write_basic_package_version_file("${_staged}/VantorelConfigVersion.cmake"
                                 COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
install(FILES "${_staged}/VantorelConfig.cmake" "${_staged}/VantorelConfigVersion.cmake"
              "${PROJECT_SOURCE_DIR}/cmake/package/VantorelFunctions.cmake"
        DESTINATION "${_cmake_package_dir}")

set(CPACK_PACKAGE_VENDOR "Vantorel")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Packs firmware partitions into one IoT update image")
include(CPack)
