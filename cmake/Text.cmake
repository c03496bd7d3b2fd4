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
