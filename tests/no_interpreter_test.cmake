# Runs one session with standard output piped to a file, in a scratch
# folder where the stand-in interpreter would leave its mark, and fails if
# the program started an interpreter.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${TEKLO} INPUT_FILE ${INPUT} OUTPUT_FILE ${WORK}/output
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "teklo ended with status '${status}', expected 0")
endif()
if(EXISTS ${WORK}/interpreter_started)
  message(FATAL_ERROR "teklo started a command interpreter with its output piped")
endif()
