# Runs the Windows build's tests under Wine: one prefix inside the build
# folder, created before the first test, with a wineserver kept alive for the
# run (CTest fixture "wine").
find_program(WINE_LOADER NAMES wine64 wine PATHS /usr/lib/wine NO_DEFAULT_PATH)
if(NOT WINE_LOADER)
    find_program(WINE_LOADER NAMES wine64 wine REQUIRED)
endif()

set(WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix")
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-prefix.sh.in ${CMAKE_BINARY_DIR}/wine-prefix.sh
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)

function(glance_add_wine_fixture)
    add_test(NAME wine_prefix_up COMMAND ${CMAKE_BINARY_DIR}/wine-prefix.sh up)
    add_test(NAME wine_prefix_down COMMAND ${CMAKE_BINARY_DIR}/wine-prefix.sh down)
    set_tests_properties(wine_prefix_up PROPERTIES FIXTURES_SETUP wine TIMEOUT 120)
    set_tests_properties(wine_prefix_down PROPERTIES FIXTURES_CLEANUP wine)
endfunction()
