# Cross build for 64-bit Windows with the mingw-w64 gcc: only for the Wine
# cases where 32-bit programs cannot start.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-gcc.cmake)
