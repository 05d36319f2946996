# compare_payloads(FIRST SECOND): the payload files two runs of kestrel-host
# left in FIRST/payloads and SECOND/payloads must have the same names and the
# same bytes. Stops with the first difference.
function(compare_payloads first second)
    get_filename_component(first "${first}" ABSOLUTE)
    get_filename_component(second "${second}" ABSOLUTE)
    file(GLOB names RELATIVE "${first}/payloads" "${first}/payloads/*.json")
    file(GLOB others RELATIVE "${second}/payloads" "${second}/payloads/*.json")
    list(SORT names)
    list(SORT others)
    if(NOT names)
        message(FATAL_ERROR "no payloads in ${first}/payloads")
    endif()
    if(NOT names STREQUAL others)
        message(FATAL_ERROR "different payloads:\n  ${first}: ${names}\n  ${second}: ${others}")
    endif()
    foreach(name ${names})
        execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files
                                "${first}/payloads/${name}" "${second}/payloads/${name}"
                        RESULT_VARIABLE differ)
        if(differ)
            file(READ "${first}/payloads/${name}" one)
            file(READ "${second}/payloads/${name}" two)
            message(FATAL_ERROR "${name} differs:\n  ${first}:\n${one}\n  ${second}:\n${two}")
        endif()
    endforeach()
    list(LENGTH names count)
    message(STATUS "${count} payloads alike in ${first} and ${second}")
endfunction()

# As a script: cmake -DFIRST=... -DSECOND=... -P ComparePayloads.cmake
if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    compare_payloads("${FIRST}" "${SECOND}")
endif()
