# Copies a text file with Windows line ends (CR LF), for the Windows package:
# Notepad and other Windows tools show a file with bare LF as one line.
# Usage: cmake -DINPUT=file -DOUTPUT=file -P crlf.cmake
foreach(_variable INPUT OUTPUT)
  if(NOT DEFINED ${_variable})
    message(FATAL_ERROR "crlf.cmake: ${_variable} is not set")
  endif()
endforeach()

file(READ "${INPUT}" _text)
string(REPLACE "\r\n" "\n" _text "${_text}")
string(REPLACE "\n" "\r\n" _text "${_text}")
file(WRITE "${OUTPUT}.part" "${_text}")
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
