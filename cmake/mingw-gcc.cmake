# The mingw-w64 gcc for MINGW_TRIPLE, found on PATH by its triple-prefixed
# name wherever it is installed; included by the gcc toolchain files.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++)
# MSYS2 names its resource compiler plainly.
find_program(CMAKE_RC_COMPILER NAMES ${MINGW_TRIPLE}-windres windres)

include(${CMAKE_CURRENT_LIST_DIR}/cross-find.cmake)
