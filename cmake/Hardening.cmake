# Debian's hardening flags, as dpkg-buildflags gives them with every hardening
# feature on: fortified C library calls, stack protector and stack clash
# protection, format string checks, position-independent executables, and
# relocations made read-only before the program starts. Every Linux build
# that optimises gets them, so that a user's plain `cmake` build is hardened
# like the package; not Debug builds (fortification needs the optimiser), nor
# builds with the sanitizers or libFuzzer, whose instrumentation they disturb,
# nor Windows builds. Decided at every configure, so that a folder switched
# to Debug loses them.

option(VANTOREL_HARDENING "Compile and link optimised Linux builds with Debian's hardening flags"
       ON)
if(VANTOREL_HARDENING AND CMAKE_SYSTEM_NAME STREQUAL "Linux"
   AND NOT CMAKE_BUILD_TYPE STREQUAL "Debug"
   AND NOT (VANTOREL_SANITIZE OR VANTOREL_SANITIZE_THREAD OR VANTOREL_FUZZ))
  # A compiler that fortifies by itself, perhaps at another level, gets the
  # level Debian uses rather than a warning about a redefined macro.
  add_compile_options(-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2 -fstack-protector-strong
                      -fstack-clash-protection -Wformat -Werror=format-security)
  set(CMAKE_POSITION_INDEPENDENT_CODE ON)
  include(CheckPIESupported)
  check_pie_supported()
  add_link_options(-Wl,-z,relro -Wl,-z,now)
endif()
