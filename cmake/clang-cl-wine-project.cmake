# Read by project(Korvelin) when cmake/clang-cl-wine.cmake is the toolchain: every
# executable of the project links the entry point that Visual C++'s runtime would bring.
add_library(korvelin_clang_cl_wine_entry STATIC ${CMAKE_CURRENT_LIST_DIR}/clang-cl-wine-entry.cpp)
# Like the runtime's own objects, it names no runtime library but ucrtbase.
set_target_properties(korvelin_clang_cl_wine_entry PROPERTIES MSVC_RUNTIME_LIBRARY MultiThreaded)
target_compile_options(korvelin_clang_cl_wine_entry PRIVATE /Zl /W4 /WX)
link_libraries(korvelin_clang_cl_wine_entry)

# The test sources are only syntax-checked in this mode (/Zs, script/check-msvc): Debian
# has no C++ library for this ABI to link them with. libc++'s headers stand in for the
# STL, ahead of every C header, with what Wine's C headers lack for it.
function(korvelin_clang_cl_wine_test_headers)
    if(TARGET korvelin_test_options)
        target_compile_options(korvelin_test_options INTERFACE
            /clang:-isystem/usr/lib/llvm-16/include/c++/v1 -D_LIBCPP_NO_VCRUNTIME
            /FI${CMAKE_CURRENT_FUNCTION_LIST_DIR}/clang-cl-wine-libcxx.h)
    endif()
endfunction()
cmake_language(DEFER CALL korvelin_clang_cl_wine_test_headers)
