#!/usr/bin/env bash
# Makes sure the machine has what one make target needs, probing for the
# tools themselves rather than for packages:
#
#   install-deps.sh exe    cmake, make and a mingw-w64 toolchain (gcc, or clang)
#   install-deps.sh demo   that, and Wine able to run 32-bit programs
#   install-deps.sh bench  that, and what makes a network of its own (nft, ip)
#   install-deps.sh test   that, and everything the tests use (both toolchains)
#   install-deps.sh --preset   prints the cross build that make exe uses once
#                              its level is installed: the same probes decide
#   install-deps.sh --wine-preset   prints the build that runs under Wine: that
#                              one, or win64-wine where 32-bit programs cannot
#                              start (wine-env.sh's probe)
#
# Does nothing when all is there. With apt (Debian, Ubuntu) it installs what
# is missing, as root or with sudo; elsewhere it names each missing tool with
# its Debian, Fedora and MSYS2 packages and stops. Uses only the shell and
# coreutils, so that it runs on a bare machine.
set -euo pipefail
level=${1:-test}
cd "$(dirname "$0")/.."

have() { command -v "$1" >/dev/null 2>&1; }
# A probe is never named like the command it looks for: `command -v` finds
# shell functions too, so the probe would always find itself.
# Debian's wine runs 32-bit programs only with wine32 (from i386 multiarch);
# without it the wrapper says so.
# (Captured first: grep -q leaves at the match, and under pipefail a writer
# that met the closed pipe would fail the pipeline.)
wine32_loader() { have wine && ! grep -q 'wine32 is missing' <<<"$(WINEDEBUG= wine --version 2>&1)"; }
# Debian keeps the 64-bit loader off PATH, behind its wine wrapper. The WoW64
# case needs it even where 32-bit programs start: it makes a 64-bit prefix.
wine64_loader() { have wine64 || [ -x /usr/lib/wine/wine64 ]; }
# Where 32-bit programs cannot start (a kernel without ia32 emulation) the
# Wine cases run on a 64-bit build, which takes the 64-bit mingw gcc.
wine_lane() { WINEDEBUG=-all wine --version >/dev/null 2>&1 || have x86_64-w64-mingw32-g++; }
# The source goes in as a here-string, not through a pipe: under pipefail a
# compiler that answers without reading it all would fail the probe when
# echo met the closed pipe first, which happens under load.
compiles() { have "$1" && "$1" -x c++ - -o /dev/null "${@:3}" <<<"$2" >/dev/null 2>&1; }
clang_mingw() { have clang++ && { have ld.lld || have lld; }; }
# A clang that builds for Windows by itself, with headers and libraries of
# its own (llvm-mingw). Debian's clang finds them only in the mingw-w64 gcc's
# packages.
clang_alone() { clang_mingw && compiles clang++ '#include <windows.h>' --target=i686-w64-mingw32 -fsyntax-only; }
mingw() { have i686-w64-mingw32-g++ || clang_alone; }
gtest() { compiles g++ '#include <gtest/gtest.h>' -fsyntax-only; }
libfuzzer() {
    compiles clang++ 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' \
        -fsanitize=fuzzer
}
pefile() {
    local python
    for python in $(type -ap python3); do
        "$python" -c 'import pefile' 2>/dev/null && return 0
    done
    return 1
}

# clang's fuzzing runtime comes in a package named for clang's version.
clang_major=14
have clang++ && clang_major=$(clang++ -dumpversion | cut -d. -f1)

# level|probe|Debian packages|Fedora packages|MSYS2 packages ("-": Linux only)
needs=(
    "exe|have cmake|cmake|cmake|mingw-w64-i686-cmake"
    "exe|have make|make|make|make"
    "exe|mingw|g++-mingw-w64-i686|mingw32-gcc-c++|mingw-w64-i686-gcc"
    "demo|wine32_loader|wine wine32:i386|wine|-"
    "demo|wine64_loader|wine64|wine|-"
    "bench|have nft|nftables|nftables|-"
    "bench|have ip|iproute2|iproute|-"
    "test|have Xvfb|xvfb|xorg-x11-server-Xvfb|-"
    "test|pefile|python3-pefile|python3-pefile|-"
    "test|gtest|g++ libgtest-dev|gcc-c++ gtest-devel|-"
    "test|have i686-w64-mingw32-g++|g++-mingw-w64-i686|mingw32-gcc-c++|-"
    "demo|wine_lane|g++-mingw-w64-x86-64|mingw64-gcc-c++|-"
    "test|clang_mingw|clang lld|clang lld|-"
    "test|libfuzzer|clang libclang-rt-$clang_major-dev|clang compiler-rt|-"
    "test|have llvm-profdata|llvm|llvm|-"
    "test|have clang-tidy|clang-tidy|clang-tools-extra|-"
    "test|have clang-format|clang-format|clang-tools-extra|-"
    "test|have cppcheck|cppcheck|cppcheck|-"
    "test|have valgrind|valgrind|valgrind|-"
    "test|have osslsigncode|osslsigncode|osslsigncode|-"
    "test|have openssl|openssl|openssl|-"
)
case "$level" in
--preset | --wine-preset)
    # gcc's build where there is its gcc or no toolchain yet (exe installs
    # the gcc then), so the name holds before the install as after it.
    preset=win32-clang
    if have i686-w64-mingw32-g++ || ! clang_alone; then preset=win32; fi
    if [ "$level" = --wine-preset ]; then
        # In a subshell: the probe may define a wine function, which the
        # probes above must never find.
        arch=$(. scripts/wine-env.sh && echo "$WINE_DEFAULT_ARCH")
        case "$arch" in
        win32) ;;
        win64) preset=win64-wine ;;
        *)
            echo "install-deps.sh: cannot tell whether Wine starts 32-bit programs" >&2
            exit 1
            ;;
        esac
    fi
    echo "$preset"
    exit 0
    ;;
exe) levels="exe" ;;
demo) levels="exe demo" ;;
bench) levels="exe demo bench" ;;
test) levels="exe demo bench test" ;;
*)
    echo "usage: install-deps.sh exe|demo|bench|test|--preset|--wine-preset" >&2
    exit 2
    ;;
esac

missing=() debian=()
for need in "${needs[@]}"; do
    IFS='|' read -r need_level probe debian_packages fedora_packages msys2_packages <<<"$need"
    case " $levels " in *" $need_level "*) ;; *) continue ;; esac
    $probe && continue
    missing+=("${probe#have }: Debian $debian_packages; Fedora $fedora_packages; MSYS2 $msys2_packages")
    read -ra packages <<<"$debian_packages"
    debian+=("${packages[@]}")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if ! have apt-get; then
    echo "missing for make $level, with the packages that have them:" >&2
    printf '  %s\n' "${missing[@]}" >&2
    echo "(MSYS2 \"-\": the Wine cases and the tools around them run on Linux only)" >&2
    exit 1
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    if ! have sudo; then
        echo "missing: ${debian[*]}; run this as root, or install sudo" >&2
        exit 1
    fi
    sudo="sudo"
fi

echo "installing: ${debian[*]}"
case " ${debian[*]} " in
*:i386*)
    dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386
    ;;
esac
# A mirror that is syncing serves an index of the wrong size for a while
# ("File has unexpected size ... Mirror sync in progress?"). Tried again
# over about a minute; then the install goes ahead with the lists there are,
# and decides.
update_log=$(mktemp)
lists_complete=true
for attempt in 1 2 3 4 5; do
    $sudo apt-get update -qq >"$update_log" 2>&1 && break
    if [ "$attempt" -eq 5 ]; then
        lists_complete=false
        echo "install-deps.sh: apt-get update failed 5 times over about a minute on:" >&2
        grep -E '^(E|W): Failed to fetch' "$update_log" | sed -E 's/^[EW]: Failed to fetch ([^ ]+).*/  \1/' >&2
        echo "the mirror may be mid-sync; installing from the lists there are" >&2
        break
    fi
    sleep 15
done
rm -f "$update_log"
install() { $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@" "${debian[@]}" >/dev/null; }
# With one architecture's security list missing, the other's newer versions
# cannot pair with it in multiarch (wine32:i386 beside wine64). The
# release's own suite has every architecture's list: tried once more,
# preferring it.
if ! install; then
    release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
    if "$lists_complete" || [ -z "$release" ]; then exit 100; fi
    echo "install-deps.sh: installing again, preferring $release's own packages to its updates'" >&2
    install -o "APT::Default-Release=$release"
fi
