#!/usr/bin/env bash
# Installs what a Debian 12 machine lacks to build the executable and run
# every test; does nothing when it is all there. Works as root or with sudo.
set -euo pipefail

packages=(
    cmake make g++ libgtest-dev libgmock-dev   # native unit tests
    clang libclang-rt-14-dev llvm              # fuzzers and coverage
    clang-tidy cppcheck clang-format valgrind  # lint and memcheck
    g++-mingw-w64-i686                         # the Windows executable
    wine wine32:i386 wine64                    # end-to-end tests
    xvfb xauth                                 # a display for the message box
    python3-pefile                             # checks over the built exe
)

add_i386=false
dpkg --print-foreign-architectures | grep -qx i386 || add_i386=true

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done

if ! $add_i386 && [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
        echo "missing: ${missing[*]}; run this as root, or install sudo" >&2
        exit 1
    fi
    sudo="sudo"
fi

echo "installing: ${missing[*]}"
if $add_i386; then
    $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
