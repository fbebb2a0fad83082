# Cross build for 32-bit Windows with clang and lld: a second compiler and
# linker over the same code. The mingw-w64 headers and libraries are those of
# an installed mingw-w64 gcc when there is one, located by asking that gcc;
# otherwise clang must know its own (as an llvm-mingw or MSYS2 clang does).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(MINGW_TRIPLE i686-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES clang++ REQUIRED)
set(CMAKE_CXX_COMPILER_TARGET ${MINGW_TRIPLE})
set(CMAKE_EXE_LINKER_FLAGS_INIT "-fuse-ld=lld")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-fuse-ld=lld")

find_program(MINGW_GXX ${MINGW_TRIPLE}-g++)
if(MINGW_GXX)
    execute_process(COMMAND ${MINGW_GXX} -print-file-name=libkernel32.a
                    OUTPUT_VARIABLE kernel32_library OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${MINGW_GXX} -print-libgcc-file-name
                    OUTPUT_VARIABLE libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
    # The C++ library's headers, as that gcc lists them for an empty source.
    set(empty_source ${CMAKE_CURRENT_BINARY_DIR}/mingw-probe-empty.cpp)
    file(WRITE ${empty_source} "")
    execute_process(COMMAND ${MINGW_GXX} -E -v ${empty_source} OUTPUT_QUIET ERROR_VARIABLE gcc_verbose)

    # What is found here is set for every configure, never only seeded into
    # the cache (the *_INIT flags): a folder first configured before this
    # gcc was installed would keep flags without it for good.
    get_filename_component(sysroot "${kernel32_library}/../.." REALPATH)
    get_filename_component(libgcc_dir "${libgcc}" DIRECTORY)
    set(CMAKE_SYSROOT ${sysroot})
    add_link_options(-L${libgcc_dir})
    string(REGEX MATCH "search starts here:\n(.*)End of search list" include_block "${gcc_verbose}")
    string(REGEX REPLACE "\n +" ";" include_dirs "${CMAKE_MATCH_1}")
    foreach(dir IN LISTS include_dirs)
        if(dir MATCHES "/c\\+\\+")
            get_filename_component(dir "${dir}" REALPATH)
            list(APPEND CMAKE_CXX_STANDARD_INCLUDE_DIRECTORIES ${dir})
        endif()
    endforeach()
endif()

# LLVM's own tools live beside the real clang, often without a plain name
# on PATH; the GNU tools of the same triple serve as well.
get_filename_component(clang_dir "${CMAKE_CXX_COMPILER}" REALPATH)
get_filename_component(clang_dir "${clang_dir}" DIRECTORY)
find_program(CMAKE_AR NAMES llvm-ar ${MINGW_TRIPLE}-ar HINTS ${clang_dir})
find_program(CMAKE_RANLIB NAMES llvm-ranlib ${MINGW_TRIPLE}-ranlib HINTS ${clang_dir})
find_program(CMAKE_RC_COMPILER NAMES llvm-windres ${MINGW_TRIPLE}-windres windres HINTS ${clang_dir})
# llvm-windres preprocesses for its own default target unless told.
# It finds <windows.h> in the mingw-w64 headers only when told where they are.
set(CMAKE_RC_FLAGS_INIT "--target=pe-i386")
if(CMAKE_SYSROOT)
    include_directories(SYSTEM $<$<COMPILE_LANGUAGE:RC>:${CMAKE_SYSROOT}/include>)
endif()

include(${CMAKE_CURRENT_LIST_DIR}/cross-find.cmake)
