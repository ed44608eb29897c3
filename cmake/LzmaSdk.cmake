# Builds the LZMA SDK that Debian's lzma-dev package installs as C sources.
# The sources are compiled here, single-threaded, into a static library; no
# copy of them is kept in this repository.

set(LZMA_SDK_DIR "/usr/include/lzma" CACHE PATH
    "Folder holding the LZMA SDK sources (LzmaEnc.c, LzFind.c, LzmaDec.c)")

set(_lzma_sdk_sources LzmaEnc.c LzFind.c LzmaDec.c)
foreach(_source IN LISTS _lzma_sdk_sources ITEMS Types.h LzmaEnc.h LzmaDec.h)
  if(NOT EXISTS "${LZMA_SDK_DIR}/${_source}")
    message(FATAL_ERROR
      "LZMA SDK source ${_source} not found in ${LZMA_SDK_DIR}. "
      "Install Debian's package lzma-dev (scripts/setup does), "
      "or point LZMA_SDK_DIR at a folder that holds the SDK's C sources.")
  endif()
endforeach()

list(TRANSFORM _lzma_sdk_sources PREPEND "${LZMA_SDK_DIR}/")
add_library(lzma_sdk STATIC ${_lzma_sdk_sources})
# The folder also holds liblzma's unrelated headers, so the SDK's own headers
# are included by file name from this folder only, as a system folder so that
# our warning flags do not apply to them.
target_include_directories(lzma_sdk SYSTEM PUBLIC "${LZMA_SDK_DIR}")
target_compile_definitions(lzma_sdk PUBLIC _7ZIP_ST)
# Its files were not written to be compiled as one: a unity build leaves
# them apart.
set_target_properties(lzma_sdk PROPERTIES C_STANDARD 99 POSITION_INDEPENDENT_CODE ON
                                          UNITY_BUILD OFF)
