# Shared by the cross toolchain files: programs (Python, Wine, Xvfb) are the
# host's; nothing of the host's headers or libraries is ever taken for the
# target, whose own come with its compiler.
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
