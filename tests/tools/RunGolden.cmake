# Runs corvane-replay once and compares its standard output, standard error and exit status
# with the expected ones.
#   TOOL           the corvane-replay executable
#   ARGS           its arguments (a ;-list), run in WORKDIR
#   STDIN          optional: a file fed to its standard input
#   EXPECTED_OUT   file with the expected standard output
#   EXPECTED_ERR   optional: file with the expected standard error (else it must be empty)
#   EXPECTED_CODE  the expected exit status
foreach(var TOOL WORKDIR EXPECTED_OUT EXPECTED_CODE)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "RunGolden.cmake: ${var} is not set")
  endif()
endforeach()

set(input_args)
if(DEFINED STDIN AND NOT STDIN STREQUAL "")
  set(input_args INPUT_FILE ${STDIN})
endif()
execute_process(
  COMMAND ${TOOL} ${ARGS}
  WORKING_DIRECTORY ${WORKDIR}
  ${input_args}
  OUTPUT_VARIABLE out
  ERROR_VARIABLE err
  RESULT_VARIABLE code)

file(READ ${EXPECTED_OUT} expected_out)
set(expected_err "")
if(DEFINED EXPECTED_ERR AND NOT EXPECTED_ERR STREQUAL "")
  file(READ ${EXPECTED_ERR} expected_err)
endif()

set(failed FALSE)
if(NOT out STREQUAL expected_out)
  message("standard output differs from ${EXPECTED_OUT}\n--- expected\n${expected_out}--- got\n${out}---")
  set(failed TRUE)
endif()
if(NOT err STREQUAL expected_err)
  message("standard error differs\n--- expected\n${expected_err}--- got\n${err}---")
  set(failed TRUE)
endif()
if(NOT code STREQUAL EXPECTED_CODE)
  message("exit status ${code}, expected ${EXPECTED_CODE}")
  set(failed TRUE)
endif()
if(failed)
  message(FATAL_ERROR "golden test failed: ${TOOL} ${ARGS}")
endif()
