# Runs the real binary BIN in WORKDIR (where its data files are) with the
# answers INPUT piped in, and compares its standard output with EXPECTED byte
# for byte and its exit status with the number in STATUS_FILE (0 when that
# file does not exist).
# CASE=<folder> is short for WORKDIR=<folder>, INPUT=<folder>/input,
# EXPECTED=<folder>/expected and STATUS_FILE=<folder>/status.
# With the environment variable UPDATE_GOLDEN=1 it rewrites the expectation.
if(DEFINED CASE)
  set(WORKDIR "${CASE}")
  set(INPUT "${CASE}/input")
  set(EXPECTED "${CASE}/expected")
  set(STATUS_FILE "${CASE}/status")
endif()
if(NOT EXISTS "${INPUT}")
  set(INPUT /dev/null)
endif()
string(RANDOM LENGTH 12 tag)
set(actual "${CMAKE_CURRENT_BINARY_DIR}/golden-${tag}.out")
execute_process(COMMAND "${BIN}"
  WORKING_DIRECTORY "${WORKDIR}"
  INPUT_FILE "${INPUT}"
  OUTPUT_FILE "${actual}"
  RESULT_VARIABLE status
  TIMEOUT 120)

set(want_status 0)
if(EXISTS "${STATUS_FILE}")
  file(STRINGS "${STATUS_FILE}" want_status LIMIT_COUNT 1)
endif()

if("$ENV{UPDATE_GOLDEN}" STREQUAL "1")
  file(COPY_FILE "${actual}" "${EXPECTED}")
  if(NOT status EQUAL 0)
    file(WRITE "${STATUS_FILE}" "${status}\n")
  else()
    file(REMOVE "${STATUS_FILE}")
  endif()
  file(REMOVE "${actual}")
  message(STATUS "updated ${EXPECTED}")
  return()
endif()

execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${actual}" "${EXPECTED}"
  RESULT_VARIABLE differs)
if(differs)
  execute_process(COMMAND diff -u "${EXPECTED}" "${actual}")
  file(REMOVE "${actual}")
  message(FATAL_ERROR "output differs from ${EXPECTED}")
endif()
file(REMOVE "${actual}")
if(NOT "${status}" STREQUAL "${want_status}")
  message(FATAL_ERROR "exit status ${status}, expected ${want_status}")
endif()
