# Feeds one session's keys to teklo and checks its exit status and its
# standard output, byte for byte. With CRLF set, the output must have every
# line feed of the expected text written as CR LF. With RUN_IN set, it runs
# in that folder, new, where the tests' stand-in for the command
# interpreter would leave its mark: output piped must start none.
#
# A teklo that never ends is stopped here, well before the test's time
# limit, and its output file stays small (ulimit -f counts blocks of 512
# bytes or 1 KB: 4 or 8 MB, far above any session's output).
set(in_folder)
if(RUN_IN)
  file(REMOVE_RECURSE ${RUN_IN})
  file(MAKE_DIRECTORY ${RUN_IN})
  set(in_folder WORKING_DIRECTORY ${RUN_IN})
endif()
execute_process(COMMAND sh -c "ulimit -f 8192 && exec \"$@\"" sh ${TEKLO} ${in_folder}
                INPUT_FILE ${INPUT}
                OUTPUT_FILE ${ACTUAL}
                RESULT_VARIABLE status
                TIMEOUT 10)
if(NOT status STREQUAL "0")
  message(FATAL_ERROR "teklo ended with status '${status}', expected 0")
endif()
if(RUN_IN AND EXISTS ${RUN_IN}/interpreter_started)
  message(FATAL_ERROR "teklo started a command interpreter with its output piped")
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
