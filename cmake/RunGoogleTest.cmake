# Runs one GoogleTest test of a test program and passes only when the program exits
# with 0 and its summary says that exactly that test ran and passed, or was skipped.
# A program that crashes after its summary, or a name that matches no test, fails.
#   cmake -DPROGRAM=FILE -DTEST=Suite.Name [-DEMULATOR=RUNNER] -P RunGoogleTest.cmake
execute_process(COMMAND ${EMULATOR} ${PROGRAM} --gtest_filter=${TEST}
    RESULT_VARIABLE exit_code OUTPUT_VARIABLE output ERROR_VARIABLE output)
message("${output}")
if(NOT exit_code STREQUAL "0")
    message(FATAL_ERROR "${TEST}: the test program ended with ${exit_code}")
endif()
if(NOT output MATCHES "\\[  PASSED  \\] 1 test\\." AND NOT output MATCHES "\\[  SKIPPED \\] 1 test,")
    message(FATAL_ERROR "${TEST}: the test program did not run exactly this one test")
endif()
