# Run after a Qt Test executable is built: lists its test functions (-functions) and writes one
# CTest test per function into OUT, so a failure never hides the others and they run in parallel.
# Arguments: EXE, NAME (the executable's test name), OUT.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0
          ${EXE} -functions
  OUTPUT_VARIABLE listing RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${EXE} -functions failed: ${result}")
endif()
string(REGEX MATCHALL "[A-Za-z_][A-Za-z_0-9]*\\(\\)" functions "${listing}")
set(text "")
foreach(function IN LISTS functions)
  string(REPLACE "()" "" function "${function}")
  string(APPEND text
    "add_test([=[${NAME}.${function}]=] [=[${EXE}]=] [=[${function}]=])\n"
    "set_tests_properties([=[${NAME}.${function}]=] PROPERTIES "
    "ENVIRONMENT QT_QPA_PLATFORM=offscreen LABELS ui)\n")
endforeach()
file(WRITE "${OUT}" "${text}")
