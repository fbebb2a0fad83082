# Cross build for 64-bit Windows with the mingw-w64 gcc, found on PATH by its
# triple-prefixed name wherever it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
# MSYS2 names its resource compiler plainly.
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLE}-windres windres)

include(${CMAKE_CURRENT_LIST_DIR}/cross-find.cmake)
