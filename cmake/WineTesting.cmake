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

# Registers every TEST() and TEST_F() of a GoogleTest target as a test of its own,
# read from the sources, so nothing has to run at build time. A test passes only
# when its program exits with 0 having run exactly that one test.
function(korvelin_add_gtests target)
    get_target_property(sources ${target} SOURCES)
    get_target_property(source_dir ${target} SOURCE_DIR)
    foreach(source IN LISTS sources)
        if(NOT source MATCHES "\\.cpp$")
            continue()
        endif()
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir})
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${source})
        file(STRINGS ${source} lines REGEX "^TEST(_F)?\\(")
        foreach(line IN LISTS lines)
            if(NOT line MATCHES "^TEST(_F)?\\(([A-Za-z0-9_]+), *([A-Za-z0-9_]+)\\)")
                message(FATAL_ERROR "${source}: cannot read the test name in: ${line}")
            endif()
            set(name ${CMAKE_MATCH_2}.${CMAKE_MATCH_3})
            add_test(NAME ${name}
                COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DTEST=${name}
                        "-DEMULATOR=${CMAKE_CROSSCOMPILING_EMULATOR}"
                        -P ${PROJECT_SOURCE_DIR}/cmake/RunGoogleTest.cmake)
            set_tests_properties(${name} PROPERTIES
                SKIP_REGULAR_EXPRESSION "\\[  SKIPPED \\] 1 test,"
                TIMEOUT 120)
            if(CMAKE_CROSSCOMPILING_EMULATOR)
                set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine)
            endif()
        endforeach()
    endforeach()
endfunction()
