# Runs sonlet-cli through the emulator: info, convert, info of the converted file, render.
cmake_policy(VERSION 3.25)
file(REMOVE_RECURSE "${SCRATCH}")
file(MAKE_DIRECTORY "${SCRATCH}")

function(run_cli out)
  execute_process(COMMAND ${EMULATOR} "${CLI}" ${ARGN}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT result EQUAL 0 OR NOT errors STREQUAL "")
    message(FATAL_ERROR "sonlet-cli ${ARGN}: exit ${result}\n${output}${errors}")
  endif()
  set(${out} "${output}" PARENT_SCOPE)
endfunction()

# The report without its first line, which names the file.
function(report_of file out)
  run_cli(report info "${file}")
  string(REGEX REPLACE "^File:[^\n]*\n" "" report "${report}")
  set(${out} "${report}" PARENT_SCOPE)
endfunction()

report_of("${INSTRUMENT}" original)
if(NOT original MATCHES "Samples: +6 ")
  message(FATAL_ERROR "unexpected report:\n${original}")
endif()
run_cli(ignored convert "${INSTRUMENT}" "${SCRATCH}/converted.xi")
report_of("${SCRATCH}/converted.xi" converted)
if(NOT converted STREQUAL original)
  message(FATAL_ERROR "the converted file reads back differently:\n${original}\n---\n${converted}")
endif()

run_cli(ignored render "${INSTRUMENT}" "${SCRATCH}/note.wav" --note 48 --frames 22050 --tracker)
file(SIZE "${SCRATCH}/note.wav" size)
math(EXPR expected "44 + 22050 * 4")
if(NOT size EQUAL expected)
  message(FATAL_ERROR "the rendered note has ${size} bytes, not ${expected}")
endif()
file(REMOVE_RECURSE "${SCRATCH}")
