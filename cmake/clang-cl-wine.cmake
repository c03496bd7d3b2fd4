# Builds as Visual C++ does, from Linux: clang-cl, lld-link and llvm-rc (LLVM 16) with
# Wine's own Windows and C-runtime headers and import libraries (libwine-dev, and
# libwine-dev:i386 for x86). CMake sees an MSVC-like compiler, so the project's
# if(MSVC) branches choose the flags. The programs run under Wine on its ucrtbase.dll;
# a check of the code only Visual C++ compiles, never what ships.
#   cmake -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/clang-cl-wine.cmake -DKORVELIN_MSVC_ARCH=x86|x64
set(KORVELIN_MSVC_ARCH x86 CACHE STRING "The architecture to build for: x86 or x64")
set_property(CACHE KORVELIN_MSVC_ARCH PROPERTY STRINGS x86 x64)
# The checks of the compiler are projects of their own that read this file again.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KORVELIN_MSVC_ARCH)

set(CMAKE_SYSTEM_NAME Windows)
if(KORVELIN_MSVC_ARCH STREQUAL "x86")
    set(CMAKE_SYSTEM_PROCESSOR x86)
    set(triple i686-pc-windows-msvc)
    set(wine_libraries /usr/lib/i386-linux-gnu/wine/i386-windows)
    # Wine's import libraries carry no table of safe exception handlers.
    set(arch_link_flags " /safeseh:no")
elseif(KORVELIN_MSVC_ARCH STREQUAL "x64")
    set(CMAKE_SYSTEM_PROCESSOR AMD64)
    set(triple x86_64-pc-windows-msvc)
    set(wine_libraries /usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
    set(arch_link_flags "")
else()
    message(FATAL_ERROR "KORVELIN_MSVC_ARCH is '${KORVELIN_MSVC_ARCH}'; x86 or x64")
endif()

set(llvm /usr/lib/llvm-16/bin)
set(CMAKE_C_COMPILER ${llvm}/clang-cl)
set(CMAKE_CXX_COMPILER ${llvm}/clang-cl)
set(CMAKE_C_COMPILER_TARGET ${triple})
set(CMAKE_CXX_COMPILER_TARGET ${triple})
set(CMAKE_LINKER ${llvm}/lld-link)
set(CMAKE_AR ${llvm}/llvm-lib)
set(CMAKE_RC_COMPILER ${llvm}/llvm-rc)
set(CMAKE_MT ${llvm}/llvm-mt)

set(wine_headers /usr/include/wine/wine)
if(NOT EXISTS ${wine_headers}/windows/winnt.h OR NOT EXISTS ${wine_libraries}/libucrtbase.a)
    message(FATAL_ERROR "No Wine headers in ${wine_headers} or import libraries in "
        "${wine_libraries}: install libwine-dev (libwine-dev:i386 for x86)")
endif()

# winnt.h defines InterlockedCompareExchange128 and, on i386, the 64-bit interlocked
# functions inline unless the compiler is cl.exe itself; clang-cl has them as builtins
# and refuses a definition. A copy with those two guards widened to clang-cl comes
# first on the include path, as does any header of Wine's that differs from the SDK
# in a way that the code here meets.
set(patched_headers ${CMAKE_BINARY_DIR}/clang-cl-wine/include)
# Each copy is written anew only when it changes, so that a new configure rebuilds nothing.
function(patch_wine_header header)
    file(READ ${wine_headers}/windows/${header} text)
    while(ARGN)
        list(POP_FRONT ARGN from to)
        string(FIND "${text}" "${from}" at)
        if(at EQUAL -1)
            message(FATAL_ERROR "Wine's ${header} holds no '${from}' any more: see ${CMAKE_CURRENT_FUNCTION_LIST_FILE}")
        endif()
        string(REPLACE "${from}" "${to}" text "${text}")
    endwhile()
    file(WRITE ${patched_headers}/${header}.new "${text}")
    file(COPY_FILE ${patched_headers}/${header}.new ${patched_headers}/${header} ONLY_IF_DIFFERENT)
    file(REMOVE ${patched_headers}/${header}.new)
endfunction()
patch_wine_header(winnt.h
    "\n#ifndef __i386__\n" "\n#if !defined(__i386__) || defined(__clang__)\n"
    "\n#if defined(_MSC_VER) && !defined(__clang__)\n" "\n#if defined(_MSC_VER)\n")
# The SDK takes the object's name as a constant string.
patch_wine_header(aclapi.h
    "GetNamedSecurityInfoA(LPSTR," "GetNamedSecurityInfoA(LPCSTR,"
    "GetNamedSecurityInfoW(LPWSTR," "GetNamedSecurityInfoW(LPCWSTR,")

# Only Wine's headers, none from the environment (/X); WCHAR is wchar_t, as in the SDK.
# The build folder's path may hold spaces: these flags reach a shell as they stand.
set(flags "/X \"-imsvc${patched_headers}\" -imsvc${wine_headers}/msvcrt -imsvc${wine_headers}/windows -DWINE_UNICODE_NATIVE")
set(CMAKE_C_FLAGS_INIT "${flags}")
set(CMAKE_CXX_FLAGS_INIT "${flags}")
# llvm-rc reads the script that clang-cl preprocessed with these.
set(CMAKE_RC_FLAGS_INIT "${flags}")

# lld-link looks for kernel32.lib and the like by those names: a folder of such names
# for Wine's libNAME.a.
set(import_libraries ${CMAKE_BINARY_DIR}/clang-cl-wine/lib)
file(MAKE_DIRECTORY ${import_libraries})
file(GLOB archives ${wine_libraries}/lib*.a)
foreach(archive IN LISTS archives)
    get_filename_component(name ${archive} NAME_WE)
    string(REGEX REPLACE "^lib" "" name ${name})
    if(NOT EXISTS ${import_libraries}/${name}.lib)
        file(CREATE_LINK ${archive} ${import_libraries}/${name}.lib SYMBOLIC)
    endif()
endforeach()
# Visual C++'s static runtime, which the objects name (/MT), is not here: ucrtbase.dll
# stands in for it, with the entry point below.
foreach(kind EXE SHARED MODULE)
    set(CMAKE_${kind}_LINKER_FLAGS_INIT "\"/libpath:${import_libraries}\"${arch_link_flags}")
    foreach(library libcmt libcmtd oldnames)
        string(APPEND CMAKE_${kind}_LINKER_FLAGS_INIT " /nodefaultlib:${library}.lib")
    endforeach()
endforeach()

# Nothing links in the compiler's checks: without the entry point below they could not.
# So no check can tell that there is no pthreads library: Windows threads only.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
set(CMAKE_HAVE_PTHREADS_CREATE "" CACHE INTERNAL "No pthreads library")
set(CMAKE_HAVE_PTHREAD_CREATE "" CACHE INTERNAL "No pthread library")
# The project's programs get the entry point that Visual C++'s runtime would bring.
set(CMAKE_PROJECT_Korvelin_INCLUDE ${CMAKE_CURRENT_LIST_DIR}/clang-cl-wine-project.cmake)

set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
