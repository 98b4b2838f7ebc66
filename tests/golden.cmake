# Runs one golden transcript: pipes CASE/input into BIN inside CASE (where its
# data files are), compares standard output with CASE/expected byte for byte
# and the exit status with CASE/status (0 when absent).
# With the environment variable UPDATE_GOLDEN=1 it rewrites the expectation.
set(input "${CASE}/input")
if(NOT EXISTS "${input}")
  set(input /dev/null)
endif()
string(RANDOM LENGTH 12 tag)
set(actual "${CMAKE_CURRENT_BINARY_DIR}/golden-${tag}.out")
execute_process(COMMAND "${BIN}"
  WORKING_DIRECTORY "${CASE}"
  INPUT_FILE "${input}"
  OUTPUT_FILE "${actual}"
  RESULT_VARIABLE status
  TIMEOUT 120)

set(want_status 0)
if(EXISTS "${CASE}/status")
  file(STRINGS "${CASE}/status" want_status LIMIT_COUNT 1)
endif()

if("$ENV{UPDATE_GOLDEN}" STREQUAL "1")
  file(COPY_FILE "${actual}" "${CASE}/expected")
  if(NOT status EQUAL 0)
    file(WRITE "${CASE}/status" "${status}\n")
  else()
    file(REMOVE "${CASE}/status")
  endif()
  file(REMOVE "${actual}")
  message(STATUS "updated ${CASE}")
  return()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${actual}" "${CASE}/expected"
  RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u "${CASE}/expected" "${actual}")
  file(REMOVE "${actual}")
  message(FATAL_ERROR "output differs from ${CASE}/expected")
endif()
file(REMOVE "${actual}")
if(NOT "${status}" STREQUAL "${want_status}")
  message(FATAL_ERROR "exit status ${status}, expected ${want_status}")
endif()
