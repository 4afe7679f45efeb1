# Runs a program and writes what it prints to a file; fails if it fails.
# cmake -DPROGRAM=path -DARGUMENTS="a;b" -DOUTPUT=file -P capture_output.cmake
execute_process(COMMAND ${PROGRAM} ${ARGUMENTS} OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  file(REMOVE ${OUTPUT})
  message(FATAL_ERROR "${PROGRAM} ${ARGUMENTS} failed: ${status}")
endif()
