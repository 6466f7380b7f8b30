# Feeds one session's keys to teklo and checks its exit status and its
# standard output, byte for byte. With CRLF set, the output must have every
# line feed of the expected text written as CR LF.
execute_process(COMMAND ${TEKLO}
                INPUT_FILE ${INPUT}
                OUTPUT_FILE ${ACTUAL}
                RESULT_VARIABLE status)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "teklo ended with status '${status}', expected 0")
endif()
if(CRLF)
  file(READ ${EXPECTED} text)
  string(REPLACE "\n" "\r\n" text "${text}")
  set(EXPECTED ${ACTUAL}.expected)
  file(WRITE ${EXPECTED} "${text}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${ACTUAL} ${EXPECTED}
                RESULT_VARIABLE differs)
if(differs)
  message(FATAL_ERROR "output differs from the expected; see: diff ${ACTUAL} ${EXPECTED}")
endif()
