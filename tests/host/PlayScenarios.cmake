# Plays every scenario through kestrel-host, once with the bus handed over
# and once with the module loading it itself; both must pass and leave the
# same payloads, byte for byte.
#   HOST       the program; RUN the emulator in front of it (may be empty)
#   SCENARIOS  the scenario files as the program sees them, '|'-separated
#   OUT        the scratch folder; OUT_ARG the same as the program sees it
string(REPLACE "|" ";" scenarios "${SCENARIOS}")
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}")
foreach(variant handed self-loaded)
    set(options "")
    if(variant STREQUAL "self-loaded")
        set(options --self-loaded-bus)
    endif()
    execute_process(
        COMMAND ${RUN} "${HOST}" ${options} --out "${OUT_ARG}${SEPARATOR}${variant}" ${scenarios}
        RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    file(WRITE "${OUT}/${variant}.txt" "${output}${errors}")
    if(NOT result EQUAL 0)
        message(FATAL_ERROR "kestrel-host (${variant} bus) answered ${result}:\n${output}${errors}")
    endif()
    message(STATUS "kestrel-host (${variant} bus): ${OUT}/${variant}.txt")
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/ComparePayloads.cmake)
compare_payloads("${OUT}/handed" "${OUT}/self-loaded")
