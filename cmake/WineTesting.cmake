# Test registration. When cross-compiling from Linux the tests run under Wine, in a
# prefix of this build tree with the null display driver (so windows can be created
# and receive broadcasts) and one wineserver kept alive for the whole run.

if(CMAKE_CROSSCOMPILING AND CMAKE_HOST_UNIX)
    find_program(KORVELIN_WINE64 wine64 HINTS /usr/lib/wine REQUIRED)
    get_filename_component(wine_dir ${KORVELIN_WINE64} DIRECTORY)
    find_program(KORVELIN_WINESERVER wineserver HINTS ${wine_dir} /usr/lib/wine REQUIRED)

    set(KORVELIN_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
    set(KORVELIN_WINE_RUN ${CMAKE_BINARY_DIR}/wine-run)
    configure_file(${CMAKE_SOURCE_DIR}/script/wine-run.in ${KORVELIN_WINE_RUN}
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE
        @ONLY)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${KORVELIN_WINE_RUN})

    add_test(NAME wine.start COMMAND ${KORVELIN_WINE_RUN} --start)
    add_test(NAME wine.stop COMMAND ${KORVELIN_WINE_RUN} --stop)
    set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
    set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)
endif()

# Registers every test a GoogleTest program lists (--gtest_list_tests), each row of a
# TEST_P table by its own name, as a test of its own: a failing row fails alone, and
# one that cannot run on this system shows as skipped. The program is listed when ctest
# reads the tests, again only once it was rebuilt. Under Wine the listing starts the
# wineserver apart from ctest's pipe (wine-run), which it would otherwise hold open.
# Each test runs its program with a filter for its one name, and the program fails
# unless exactly one test ran (KORVELIN_TEST_EXACTLY_ONE, read by the tests' main).
#   korvelin_add_gtests(TARGET [PROPERTY VALUE...])   properties for each of its tests
include(GoogleTest)
function(korvelin_add_gtests target)
    set(properties TIMEOUT 120 ENVIRONMENT KORVELIN_TEST_EXACTLY_ONE=1 ${ARGN})
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        list(APPEND properties FIXTURES_REQUIRED wine)
    endif()
    # The program's name first: both programs' tests check a version block under the
    # same test names, and ctest confuses tests of one name (a fixture's clean-up ran
    # while one of them still waited to start).
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
        TEST_PREFIX ${target}. NO_PRETTY_VALUES PROPERTIES ${properties})
endfunction()
