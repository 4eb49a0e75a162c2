# Run by CPack once it has made the demo's zip: makes the runtime's beside it.
execute_process(COMMAND "${CMAKE_CPACK_COMMAND}" --config "${CPACK_PROMPT_RUNTIME_CONFIG}" -B "${CPACK_PACKAGE_DIRECTORY}"
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "The runtime's zip was not made:\n${output}")
endif()
string(REGEX MATCH "package: [^\n]*generated" made "${output}")
message(STATUS "${made}")
