# Cross build for 32-bit Windows with the mingw-w64 gcc, found on PATH by its
# triple-prefixed name wherever it is installed.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
# MSYS2's mingw32 environment names its resource compiler plainly.
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLE}-windres windres)

include(${CMAKE_CURRENT_LIST_DIR}/cross-find.cmake)
