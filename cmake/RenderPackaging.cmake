# Renders the winget and Scoop manifests from the templates in packaging/ with a build's
# settings and the SHA-256 of the two release archives.
#   cmake -DSETTINGS=build/x86/korvelin-settings.json -DDIST=dist -P RenderPackaging.cmake
# Writes DIST/packaging/winget/ID/VERSION/ID{,.installer,.locale.en-US}.yaml and
# DIST/packaging/scoop/korvelin.json.
include(${CMAKE_CURRENT_LIST_DIR}/Text.cmake)
# Each setting of the build's settings file (korvelin_write_settings) as
# KORVELIN_<KEY>: "package_id" as KORVELIN_PACKAGE_ID.
file(READ ${SETTINGS} settings)
foreach(key version maker website copyright package_id license summary releases_url)
    string(TOUPPER ${key} name)
    string(JSON KORVELIN_${name} ERROR_VARIABLE error GET "${settings}" ${key})
    if(error)
        message(FATAL_ERROR "${SETTINGS} gives no ${key}: ${error}")
    endif()
endforeach()
# The addresses stand as they are: configuring let through none that YAML or JSON
# would need escaped (korvelin_require_address).
get_filename_component(templates ${CMAKE_CURRENT_LIST_DIR}/../packaging ABSOLUTE)

foreach(arch X86 X64)
    string(TOLOWER ${arch} name)
    set(KORVELIN_ZIP_${arch} korvelin-${KORVELIN_VERSION}-${name}.zip)
    if(NOT EXISTS ${DIST}/${KORVELIN_ZIP_${arch}})
        message(FATAL_ERROR "no ${DIST}/${KORVELIN_ZIP_${arch}} to render the manifests for")
    endif()
    file(SHA256 ${DIST}/${KORVELIN_ZIP_${arch}} KORVELIN_SHA256_${arch})
    # winget writes its hashes in capitals, Scoop and sha256sum in small letters.
    string(TOUPPER ${KORVELIN_SHA256_${arch}} KORVELIN_SHA256_${arch}_UPPER)
endforeach()

# Free text inside double quotes, where YAML and JSON alike escape \ and ".
foreach(text MAKER COPYRIGHT LICENSE SUMMARY)
    korvelin_quoted(KORVELIN_${text}_QUOTED "${KORVELIN_${text}}")
endforeach()

set(winget ${DIST}/packaging/winget/${KORVELIN_PACKAGE_ID}/${KORVELIN_VERSION})
file(REMOVE_RECURSE ${DIST}/packaging)
configure_file(${templates}/winget/version.yaml.in ${winget}/${KORVELIN_PACKAGE_ID}.yaml @ONLY)
configure_file(${templates}/winget/installer.yaml.in ${winget}/${KORVELIN_PACKAGE_ID}.installer.yaml
    @ONLY)
configure_file(${templates}/winget/locale.en-US.yaml.in
    ${winget}/${KORVELIN_PACKAGE_ID}.locale.en-US.yaml @ONLY)
configure_file(${templates}/scoop/korvelin.json.in ${DIST}/packaging/scoop/korvelin.json @ONLY)
