# vantorel_add_image(<target> CONFIG <ini> OUTPUT <image> [STRICT]
#                    [FLASH <file> [FORMAT bin|ihex|srec|uf2] [FILL <byte>]]
#                    [DEPENDS <targets>...] [WORKING_DIRECTORY <folder>])
#
# Packs <image> from the configuration <ini> as part of the build, under a
# target <target> that is built by default. The packer writes a dependency
# file naming the configuration and every partition file it packed, so the
# image is made again exactly when one of them changed. Partition paths in a
# configuration follow the current folder, so the packer runs in the
# configuration's folder unless WORKING_DIRECTORY says otherwise. A relative
# CONFIG follows the current source folder, a relative OUTPUT or FLASH the
# current binary folder. STRICT makes warnings fail the build. FLASH also
# writes the flash contents of the image to <file> with vantorel-inspect.
# A failed packing leaves neither the image nor its dependency file behind
# for the next build to take as up to date.
function(vantorel_add_image target)
  cmake_parse_arguments(PARSE_ARGV 1 _image "STRICT"
                        "CONFIG;OUTPUT;FLASH;FORMAT;FILL;WORKING_DIRECTORY" "DEPENDS")
  if(_image_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "vantorel_add_image: unknown arguments ${_image_UNPARSED_ARGUMENTS}")
  endif()
  foreach(_required CONFIG OUTPUT)
    if(NOT _image_${_required})
      message(FATAL_ERROR "vantorel_add_image(${target}): ${_required} is required")
    endif()
  endforeach()
  if((_image_FORMAT OR _image_FILL) AND NOT _image_FLASH)
    message(FATAL_ERROR "vantorel_add_image(${target}): FORMAT and FILL need FLASH")
  endif()

  get_filename_component(_config "${_image_CONFIG}" ABSOLUTE BASE_DIR
                         "${CMAKE_CURRENT_SOURCE_DIR}")
  get_filename_component(_output "${_image_OUTPUT}" ABSOLUTE BASE_DIR
                         "${CMAKE_CURRENT_BINARY_DIR}")
  if(_image_WORKING_DIRECTORY)
    get_filename_component(_folder "${_image_WORKING_DIRECTORY}" ABSOLUTE BASE_DIR
                           "${CMAKE_CURRENT_SOURCE_DIR}")
  else()
    get_filename_component(_folder "${_config}" DIRECTORY)
  endif()
  set(_depfile "${_output}.d")
  set(_strict)
  if(_image_STRICT)
    set(_strict --strict)
  endif()
  get_filename_component(_output_folder "${_output}" DIRECTORY)
  file(MAKE_DIRECTORY "${_output_folder}")
  add_custom_command(
    OUTPUT "${_output}"
    COMMAND Vantorel::vantorel ${_strict} --depfile "${_depfile}" -i "${_config}" -o "${_output}"
    DEPENDS "${_config}" ${_image_DEPENDS}
    DEPFILE "${_depfile}"
    WORKING_DIRECTORY "${_folder}"
    COMMENT "Packing ${_image_OUTPUT}"
    VERBATIM)
  set(_outputs "${_output}")

  if(_image_FLASH)
    get_filename_component(_flash "${_image_FLASH}" ABSOLUTE BASE_DIR
                           "${CMAKE_CURRENT_BINARY_DIR}")
    set(_flash_options --force --flash "${_flash}")
    if(_image_FORMAT)
      list(APPEND _flash_options --format "${_image_FORMAT}")
    endif()
    if(_image_FILL)
      list(APPEND _flash_options --fill "${_image_FILL}")
    endif()
    add_custom_command(
      OUTPUT "${_flash}"
      COMMAND Vantorel::vantorel-inspect ${_flash_options} "${_output}"
      DEPENDS "${_output}"
      COMMENT "Writing the flash contents ${_image_FLASH}"
      VERBATIM)
    list(APPEND _outputs "${_flash}")
  endif()
  add_custom_target(${target} ALL DEPENDS ${_outputs})
endfunction()
