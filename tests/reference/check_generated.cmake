# Checks that a committed generated file matches what its generator prints now.
#   cmake "-DCOMMAND=prog;arg;..." -DFILE=<committed file> -P check_generated.cmake
execute_process(COMMAND ${COMMAND} RESULT_VARIABLE rc OUTPUT_VARIABLE generated
  ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "the generator failed (exit ${rc}):\n${err}")
endif()
file(READ "${FILE}" committed)
if(NOT generated STREQUAL committed)
  message(FATAL_ERROR "${FILE} is out of date with the class descriptions; "
    "run scripts/update-parameter-docs.sh and commit the result")
endif()
