# Runs one command (CMD, its words separated by |) in WORKDIR and checks its exit status
# (STATUS, 0 by default), its standard output (byte for byte against the file
# EXPECTED, or empty when NO_OUTPUT is set) and its standard error (against
# the text ERR, when given).
string(REPLACE "|" ";" CMD "${CMD}")
if(NOT DEFINED STATUS)
  set(STATUS 0)
endif()
execute_process(COMMAND ${CMD}
  WORKING_DIRECTORY "${WORKDIR}"
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE status
  TIMEOUT 60)
if(NOT "${status}" STREQUAL "${STATUS}")
  message(FATAL_ERROR "exit status ${status}, expected ${STATUS}; standard error:\n${err}")
endif()
if(DEFINED EXPECTED)
  file(READ "${EXPECTED}" want)
  if(NOT out STREQUAL want)
    message(FATAL_ERROR "standard output differs from ${EXPECTED}:\n${out}")
  endif()
endif()
if(NO_OUTPUT AND NOT out STREQUAL "")
  message(FATAL_ERROR "standard output should be empty:\n${out}")
endif()
if(DEFINED ERR AND NOT err STREQUAL "${ERR}\n")
  message(FATAL_ERROR "standard error is:\n${err}")
endif()
