# Runs two commands and fails unless they print the same text, and, given
# EXPECTED (a file), that text too. Line ends are compared as \n, so that a
# Windows program's text compares with the others.
# cmake -DFIRST="cmd;args" -DSECOND="cmd;args" [-DEXPECTED=file] -P same_answers.cmake
execute_process(COMMAND ${FIRST} OUTPUT_VARIABLE first RESULT_VARIABLE first_status)
execute_process(COMMAND ${SECOND} OUTPUT_VARIABLE second RESULT_VARIABLE second_status)
if(NOT first_status EQUAL 0 OR NOT second_status EQUAL 0)
  message(FATAL_ERROR "a command failed: ${first_status} / ${second_status}")
endif()
string(REPLACE "\r\n" "\n" first "${first}")
string(REPLACE "\r\n" "\n" second "${second}")
if(NOT first STREQUAL second)
  message(FATAL_ERROR "the answers differ")
endif()
if(EXPECTED)
  file(READ "${EXPECTED}" expected)
  if(NOT first STREQUAL expected)
    message(FATAL_ERROR "the answers differ from ${EXPECTED}")
  endif()
endif()
string(SHA256 digest "${first}")
message(STATUS "same answers, sha256 ${digest}")
