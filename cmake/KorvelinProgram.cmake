# korvelin_add_program(NAME DESCRIPTION [ICON FILE] SOURCES SOURCE...)
#
# Adds the console program NAME.exe, built and linked as a shipped program, with the
# resources every program of ours carries, from one template and one manifest:
# resources/program.rc.in and resources/program.manifest. Its version block names the
# program NAME, NAME.exe and DESCRIPTION (what Windows shows as the file's description)
# beside the project's version and maker; ICON, a file beside the caller, becomes
# icon 101. DESCRIPTION and the manifest's path stay on the target, as the properties
# KORVELIN_DESCRIPTION and KORVELIN_MANIFEST, for the tests, the binary checks and
# korvelin_write_settings() to read.
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/Text.cmake)

get_filename_component(KORVELIN_PROGRAM_RESOURCES ${CMAKE_CURRENT_LIST_DIR}/../resources ABSOLUTE)

function(korvelin_add_program name description)
    cmake_parse_arguments(PARSE_ARGV 2 arg "" "ICON" "SOURCES")
    if(arg_UNPARSED_ARGUMENTS OR NOT arg_SOURCES)
        message(FATAL_ERROR "korvelin_add_program(${name} DESCRIPTION [ICON FILE] SOURCES SOURCE...): "
            "unexpected ${arg_UNPARSED_ARGUMENTS}, sources: ${arg_SOURCES}")
    endif()
    # One line: it is a string of the version block, the settings file and the signature.
    if(description STREQUAL "" OR description MATCHES "[\r\n\t]")
        message(FATAL_ERROR "${name}'s description must be one line of text: \"${description}\"")
    endif()

    set(KORVELIN_PROGRAM_NAME ${name})
    korvelin_quoted(KORVELIN_PROGRAM_DESCRIPTION_RC "${description}" RC)
    set(KORVELIN_PROGRAM_MANIFEST ${KORVELIN_PROGRAM_RESOURCES}/program.manifest)
    set(KORVELIN_PROGRAM_ICON "")
    set(taken_in ${KORVELIN_PROGRAM_MANIFEST})
    if(arg_ICON)
        get_filename_component(icon ${arg_ICON} ABSOLUTE)
        set(KORVELIN_PROGRAM_ICON "101 ICON \"${icon}\"")
        list(APPEND taken_in ${icon})
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/generated/${name}.rc)
    configure_file(${KORVELIN_PROGRAM_RESOURCES}/program.rc.in ${rc} @ONLY)

    add_executable(${name} ${arg_SOURCES} ${rc})
    # The resources are rebuilt when the files they take in change.
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${taken_in})
    target_link_libraries(${name} PRIVATE korvelin_program_options)
    set_target_properties(${name} PROPERTIES
        KORVELIN_DESCRIPTION "${description}"
        KORVELIN_MANIFEST ${KORVELIN_PROGRAM_MANIFEST})
    set_property(GLOBAL APPEND PROPERTY KORVELIN_PROGRAMS ${name})
endfunction()
