# Debian's hardening flags, as dpkg-buildflags gives them with every hardening
# feature on: fortified C library calls, stack protector and stack clash
# protection, format string checks, position-independent executables, and
# relocations made read-only before the program starts. On by default in
# every Linux build that optimises, so that a user's plain `cmake` build is
# hardened like the package; not in Debug builds (fortification needs the
# optimiser), nor with the sanitizers or libFuzzer, whose instrumentation
# they disturb, nor for Windows.

if(CMAKE_SYSTEM_NAME STREQUAL "Linux" AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug"
   AND NOT (VANTOREL_SANITIZE OR VANTOREL_SANITIZE_THREAD OR VANTOREL_FUZZ))
  set(_hardening_by_default ON)
else()
  set(_hardening_by_default OFF)
endif()
option(VANTOREL_HARDENING "Compile and link with Debian's hardening flags" ${_hardening_by_default})

if(VANTOREL_HARDENING)
  # A compiler that fortifies by itself, perhaps at another level, gets the
  # level Debian uses rather than a warning about a redefined macro.
  add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong
                      -fstack-clash-protection -Wformat -Werror=format-security)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
