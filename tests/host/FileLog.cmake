# kestrel-host with --file-log: the module's records land in Glance000.log of
# LOGS (the folder as this machine sees it), UTF-16LE after its byte-order
# mark, and the run says where they are.
#   HOST, RUN, SCENARIO, OUT_ARG as for PlayScenarios.cmake
file(REMOVE_RECURSE "${LOGS}")
execute_process(
    COMMAND ${RUN} "${HOST}" --file-log --out "${OUT_ARG}" "${SCENARIO}"
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "kestrel-host --file-log answered ${result}:\n${output}${errors}")
endif()
if(NOT output MATCHES "the module's log files \\(UTF-16LE text\\): [^\n]*Glance")
    message(FATAL_ERROR "the run does not say where the log files are:\n${output}")
endif()
set(log "${LOGS}/Glance000.log")
if(NOT EXISTS "${log}")
    message(FATAL_ERROR "no ${log} after the run:\n${output}")
endif()
file(READ "${log}" head LIMIT 2 HEX)
file(READ "${log}" text HEX)
string(LENGTH "${text}" digits)
# "(Information)" in UTF-16LE: the level name of the module's records.
string(HEX "(Information)" narrow)
string(REGEX REPLACE "(..)" "\\100" wide "${narrow}")
if(NOT head STREQUAL "fffe" OR NOT text MATCHES "${wide}")
    message(FATAL_ERROR "${log} holds no UTF-16LE records (${digits} hex digits)")
endif()
message(STATUS "records in ${log}")
