# Compresses a file the way Debian packages carry documentation and man
# pages: gzip -9n, with no file name or time stamp inside, so that the same
# sources give the same package bytes.
# Usage: cmake -DGZIP=/bin/gzip -DINPUT=file -DOUTPUT=file.gz -P gzip.cmake
foreach(_variable GZIP INPUT OUTPUT)
  if(NOT DEFINED ${_variable})
    message(FATAL_ERROR "gzip.cmake: ${_variable} is not set")
  endif()
endforeach()

# Written beside the output and renamed over it, so that a failed run
# leaves no truncated file that looks up to date.
execute_process(COMMAND "${GZIP}" -9n -c
                INPUT_FILE "${INPUT}"
                OUTPUT_FILE "${OUTPUT}.part"
                RESULT_VARIABLE _status)
if(NOT _status EQUAL 0)
  file(REMOVE "${OUTPUT}.part")
  message(FATAL_ERROR "gzip.cmake: gzip failed on ${INPUT}: ${_status}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
