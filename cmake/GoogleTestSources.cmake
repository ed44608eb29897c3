# GoogleTest for a cross build. Debian's libgtest-dev installs its libraries
# for the build machine only, but also its sources (/usr/src/googletest);
# they are compiled here with the cross compiler, as the LZMA SDK is, so a
# cross build needs no foreign architecture added to the package manager.
# Defines GTest::gtest_main as find_package(GTest) does.

set(GOOGLETEST_SOURCE_DIR "/usr/src/googletest/googletest" CACHE PATH
    "Folder holding GoogleTest's sources (CMakeLists.txt, src/gtest-all.cc)")
if(NOT EXISTS "${GOOGLETEST_SOURCE_DIR}/src/gtest-all.cc")
  message(FATAL_ERROR
    "GoogleTest sources not found in ${GOOGLETEST_SOURCE_DIR}. Install Debian's "
    "package libgtest-dev (scripts/setup --tests does), or point GOOGLETEST_SOURCE_DIR "
    "at a folder that holds them.")
endif()

# Only what the tests link: nothing of GoogleTest goes into the package.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory("${GOOGLETEST_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/googletest" EXCLUDE_FROM_ALL)
# Its speed is not what the tests measure, and fully optimised it takes longer
# to compile than any file of ours.
target_compile_options(gtest PRIVATE -O1)
if(NOT TARGET GTest::gtest_main)  # older GoogleTest releases lack the alias
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
