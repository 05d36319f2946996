# Checks that a library exports exactly the four entry points of a Kestrel
# library and nothing else. Run as:
#   cmake -DLIBRARY=... -DOBJDUMP=... -DNM=... -DWINDOWS=ON|OFF -P check-exports.cmake
set(expected CreateObject GetVersionNum GetVersionStr ReleaseObject)
if(WINDOWS)
    execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE dump RESULT_VARIABLE failed)
    # Only the export name table, up to the blank line after it; its lines read
    # "	[   0] CreateObject".
    string(FIND "${dump}" "[Ordinal/Name Pointer] Table" start)
    if(start LESS 0)
        set(dump "")
    else()
        string(SUBSTRING "${dump}" ${start} -1 dump)
        string(FIND "${dump}" "\n\n" end)
        string(SUBSTRING "${dump}" 0 ${end} dump)
    endif()
    set(prefix "\\[ *[0-9]+\\] ")
else()
    # Lines read "0000000000023400 T GetVersionNum".
    execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY} OUTPUT_VARIABLE dump
                    RESULT_VARIABLE failed)
    set(prefix "[0-9a-f]+ [A-Za-z] ")
endif()
if(failed)
    message(FATAL_ERROR "cannot read the exports of ${LIBRARY}")
endif()
string(REGEX MATCHALL "${prefix}[A-Za-z_][A-Za-z0-9_@.]*" entries "${dump}")
set(exported)
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^${prefix}" "" name "${entry}")
    list(APPEND exported ${name})
endforeach()
list(SORT exported)
if(NOT exported STREQUAL expected)
    message(FATAL_ERROR "${LIBRARY} exports [${exported}], expected [${expected}]")
endif()
message(STATUS "${LIBRARY}: ${exported}")
