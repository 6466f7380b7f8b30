# Feeds one session's keys to teklo and checks its exit status and its
# standard output, byte for byte.
execute_process(COMMAND ${TEKLO}
                INPUT_FILE ${INPUT}
                OUTPUT_FILE ${ACTUAL}
                RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "teklo ended with status '${status}', expected 0")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${ACTUAL} ${EXPECTED}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "output differs from the expected; see: diff ${ACTUAL} ${EXPECTED}")
endif()
