# The maker and version that both programs carry, in the banner and in their version
# blocks. One place for all, so the programs and their properties never disagree.
# A development build names a placeholder address; a release build (the workflow's,
# for a tag) must be given real https ones, and stops on a placeholder or plain http.
include(${CMAKE_CURRENT_LIST_DIR}/Text.cmake)
option(KORVELIN_RELEASE "A build to publish: refuse placeholder and http addresses" OFF)
set(KORVELIN_MAKER "The Korvelin project" CACHE STRING "Maker named in the banner and version block")
set(KORVELIN_WEBSITE "https://korvelin.example" CACHE STRING "Maker's web address, shown in the banner")

foreach(setting KORVELIN_MAKER KORVELIN_WEBSITE)
    # The banner is printed as a format string: a % would be read as a conversion.
    if("${${setting}}" MATCHES "%")
        message(FATAL_ERROR "${setting} must not hold '%': \"${${setting}}\"")
    endif()
    # The banner is text of the system code page, which differs from one Windows to
    # the next; only printable ASCII reads the same in all of them.
    korvelin_require_printable(${setting}
        " (the banner prints it in the system code page of whoever runs Korvelin)")
endforeach()
korvelin_require_address(KORVELIN_WEBSITE)

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

foreach(text NOTICE COMPANY COPYRIGHT PRODUCT)
    korvelin_quoted(KORVELIN_${text}_C "${KORVELIN_${text}}")
    korvelin_quoted(KORVELIN_${text}_RC "${KORVELIN_${text}}" RC)
endforeach()

# What the package manifests say, beside the maker and the version: rendered by
# script/build into dist/packaging from the templates in packaging/.
set(KORVELIN_PACKAGE_ID "Korvelin.Korvelin" CACHE STRING "winget package identifier (Publisher.Package)")
set(KORVELIN_LICENSE "MIT" CACHE STRING "Licence of the package, an SPDX identifier")
set(KORVELIN_SUMMARY "Makes hard links, and tells running programs that the environment variables changed"
    CACHE STRING "One line on what the package does")
# GitHub's layout: a version's files at URL/download/vVERSION/FILE, the newest release's
# at URL/latest/download/FILE. The release workflow gives the repository's own.
set(KORVELIN_RELEASES_URL "${KORVELIN_WEBSITE}/releases" CACHE STRING
    "Where releases are published, without a trailing /")
korvelin_require_address(KORVELIN_RELEASES_URL NO_TRAILING_SLASH)
foreach(setting KORVELIN_PACKAGE_ID KORVELIN_LICENSE KORVELIN_SUMMARY)
    korvelin_require_printable(${setting})
endforeach()

# A published banner or manifest sends people to these addresses, and winget and Scoop
# download from the releases one: plain http would let anyone on the way change what
# they get. Nor may it name an address that never answers: the names reserved for
# examples and tests (RFC 2606, RFC 6761).
if(KORVELIN_RELEASE)
    foreach(setting KORVELIN_WEBSITE KORVELIN_RELEASES_URL)
        if("${${setting}}" MATCHES "^http://")
            message(FATAL_ERROR "${setting} is a plain http address (\"${${setting}}\"): a release "
                "build publishes it in the banner and the manifests, and needs https://")
        endif()
        string(REGEX REPLACE "^[a-zA-Z]+://([^/:]*).*" "\\1" host "${${setting}}")
        string(TOLOWER "${host}" host)
        if(host STREQUAL "" OR host MATCHES "(^|\\.)(example|invalid|test|localhost)$"
           OR host MATCHES "^example\\.(com|net|org)$")
            message(FATAL_ERROR "${setting} is a placeholder (\"${${setting}}\"): a release "
                "build needs the project's real address, -D${setting}=https://...")
        endif()
    endforeach()
endif()

# korvelin_write_settings(): the settings of this build, and each program's description
# and manifest, in build/ARCH/korvelin-settings.json, which the scripts (jq) and
# cmake -P (string(JSON)) read as it stands. Called once every program is added.
function(korvelin_write_settings)
    set(json "{}")
    foreach(entry version=PROJECT_VERSION maker=KORVELIN_MAKER website=KORVELIN_WEBSITE
            copyright=KORVELIN_COPYRIGHT package_id=KORVELIN_PACKAGE_ID license=KORVELIN_LICENSE
            summary=KORVELIN_SUMMARY releases_url=KORVELIN_RELEASES_URL)
        string(REPLACE "=" ";" entry "${entry}")
        list(GET entry 0 key)
        list(GET entry 1 variable)
        korvelin_json_string(value "${${variable}}")
        string(JSON json SET "${json}" ${key} "${value}")
    endforeach()
    string(JSON json SET "${json}" programs "{}")
    get_property(programs GLOBAL PROPERTY KORVELIN_PROGRAMS)
    foreach(program IN LISTS programs)
        string(JSON json SET "${json}" programs ${program} "{}")
        foreach(property DESCRIPTION MANIFEST)
            get_target_property(text ${program} KORVELIN_${property})
            string(TOLOWER ${property} key)
            korvelin_json_string(value "${text}")
            string(JSON json SET "${json}" programs ${program} ${key} "${value}")
        endforeach()
    endforeach()
    # Rewritten only when it changes, so that nothing that reads it is redone for nothing.
    file(WRITE ${PROJECT_BINARY_DIR}/korvelin-settings.json.new "${json}\n")
    file(COPY_FILE ${PROJECT_BINARY_DIR}/korvelin-settings.json.new
        ${PROJECT_BINARY_DIR}/korvelin-settings.json ONLY_IF_DIFFERENT)
    file(REMOVE ${PROJECT_BINARY_DIR}/korvelin-settings.json.new)
endfunction()
