# Text checks and escaping shared by the configure step and the scripts run with -P.

# korvelin_quoted(OUT TEXT [RC]): TEXT for the inside of a double-quoted string, where
# C, JSON and YAML write \\ and \"; a resource script (RC) writes a quote as "".
function(korvelin_quoted out text)
    string(REPLACE "\\" "\\\\" escaped "${text}")
    if(ARGV2 STREQUAL "RC")
        string(REPLACE "\"" "\"\"" escaped "${escaped}")
    else()
        string(REPLACE "\"" "\\\"" escaped "${escaped}")
    endif()
    set(${out} "${escaped}" PARENT_SCOPE)
endfunction()

# korvelin_require_printable(SETTING [WHY]): stops unless the setting is printable ASCII
# on one line.
function(korvelin_require_printable setting)
    if("${${setting}}" MATCHES "[^ -~]")
        message(FATAL_ERROR "${setting} must be printable ASCII on one line${ARGV1}: "
            "\"${${setting}}\"")
    endif()
endfunction()

# korvelin_require_address(SETTING [NO_TRAILING_SLASH]): stops unless the setting is an
# http(s) address of printable ASCII without spaces, quotes or backslashes. The manifests
# carry addresses as YAML plain scalars, where none of those could be escaped.
function(korvelin_require_address setting)
    set(pattern "^https?://[!-~]+$")
    set(what "spaces or quotes")
    if(ARGV1 STREQUAL "NO_TRAILING_SLASH")
        # What is appended to it brings its own /.
        set(pattern "^https?://[!-~]*[!-.0-~]$")
        set(what "spaces, quotes or a trailing /")
    endif()
    if(NOT "${${setting}}" MATCHES "${pattern}" OR "${${setting}}" MATCHES "[\"\\\\]")
        message(FATAL_ERROR "${setting} must be an http(s) address without ${what}: "
            "\"${${setting}}\"")
    endif()
endfunction()

# korvelin_json_string(OUT TEXT): TEXT as a JSON string, quotes included; control
# characters (a tab or line break in a path) as \u escapes.
function(korvelin_json_string out text)
    korvelin_quoted(escaped "${text}")
    foreach(code RANGE 1 31)
        string(ASCII ${code} character)
        string(FIND "${escaped}" "${character}" at)
        if(NOT at EQUAL -1)
            math(EXPR high "${code} / 16")
            math(EXPR low "${code} % 16")
            string(SUBSTRING "0123456789abcdef" ${low} 1 low)
            string(REPLACE "${character}" "\\u00${high}${low}" escaped "${escaped}")
        endif()
    endforeach()
    set(${out} "\"${escaped}\"" PARENT_SCOPE)
endfunction()
