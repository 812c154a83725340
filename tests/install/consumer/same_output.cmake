# Runs PROGRAM and fails unless its standard output is the text in EXPECTED.
#   cmake -DPROGRAM=path -DEXPECTED=file -P same_output.cmake
execute_process(COMMAND ${PROGRAM} OUTPUT_VARIABLE output RESULT_VARIABLE status)
file(READ ${EXPECTED} expected)
if(NOT status EQUAL 0 OR NOT output STREQUAL expected)
  message(FATAL_ERROR "${PROGRAM} (status ${status}) printed\n${output}\ninstead of\n${expected}")
endif()
