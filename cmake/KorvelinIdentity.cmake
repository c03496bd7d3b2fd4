# The maker and version that both programs carry, in the banner and in their version
# blocks. One place for all, so the programs and their properties never disagree.
set(KORVELIN_MAKER "The Korvelin project" CACHE STRING "Maker named in the banner and version block")
set(KORVELIN_WEBSITE "https://korvelin.example" CACHE STRING "Maker's web address, shown in the banner")

foreach(setting KORVELIN_MAKER KORVELIN_WEBSITE)
    # The banner is printed as a format string: a % would be read as a conversion.
    if("${${setting}}" MATCHES "%")
        message(FATAL_ERROR "${setting} must not hold '%': \"${${setting}}\"")
    endif()
    # The banner is text of the system code page, which differs from one Windows to
    # the next; only printable ASCII reads the same in all of them. One line, too.
    if("${${setting}}" MATCHES "[^ -~]")
        message(FATAL_ERROR "${setting} must be printable ASCII on one line (the banner "
            "prints it in the system code page of whoever runs Korvelin): \"${${setting}}\"")
    endif()
endforeach()

# The project's version is the one version: banner, version blocks, archive names.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
    message(FATAL_ERROR "the project version must read MAJOR.MINOR.PATCH, not ${PROJECT_VERSION}")
endif()
set(KORVELIN_VERSION_COMMAS
    "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
set(KORVELIN_VERSION_TEXT
    "${PROJECT_VERSION_MAJOR}, ${PROJECT_VERSION_MINOR}, ${PROJECT_VERSION_PATCH}, 0")

set(KORVELIN_NOTICE "Copyright (C) ${KORVELIN_MAKER} - ${KORVELIN_WEBSITE}")
set(KORVELIN_COMPANY "${KORVELIN_MAKER}")
set(KORVELIN_COPYRIGHT "Copyright (C) ${KORVELIN_MAKER}")
set(KORVELIN_PRODUCT "Korvelin by ${KORVELIN_MAKER}")

# Same escaping for C and resource strings, except the quote: C writes \", a
# resource script "".
foreach(text NOTICE COMPANY COPYRIGHT PRODUCT)
    string(REPLACE "\\" "\\\\" escaped "${KORVELIN_${text}}")
    string(REPLACE "\"" "\\\"" KORVELIN_${text}_C "${escaped}")
    string(REPLACE "\"" "\"\"" KORVELIN_${text}_RC "${escaped}")
endforeach()
