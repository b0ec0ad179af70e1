#!/usr/bin/env bash
# Builds the Windows executables (velmora-cli.exe, velmora-sim.exe) and the core's unit tests with the
# MinGW-w64 cross compiler into build/windows. Installs the compiler and Wine first (the optional
# --windows group of scripts/install-deps.sh) and cross-builds GoogleTest from Debian's source package
# into build/windows-deps. The window program stays a Linux build (docs/windows.md).
# Usage: scripts/windows-build.sh [cmake --build arguments, e.g. --target velmora-cli]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
scripts/install-deps.sh --windows

build="$root/build/windows"
deps="$root/build/windows-deps"
prefix="$deps/prefix"
toolchain="$root/cmake/mingw-w64-x86_64.cmake"
export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-/work}" CCACHE_DIR="${CCACHE_DIR:-/work/.ccache-shared}"
# The test discovery after each test executable runs it under Wine, in a prefix of the build's own:
# set up, with its server running, before the build starts (scripts/windows-wine.sh says why).
source "$root/scripts/windows-wine.sh"
wine_env "$build/wineprefix"

# GoogleTest and GoogleMock for MinGW, from /usr/src/googletest (the googletest package), once.
if [ ! -f "$prefix/lib/cmake/GTest/GTestConfig.cmake" ]; then
    echo "Cross-building GoogleTest into $prefix"
    cmake -S /usr/src/googletest -B "$deps/googletest" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_INSTALL_PREFIX="$prefix" \
        -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON >/dev/null
    cmake --build "$deps/googletest" --target install >/dev/null
fi
# The JSON library is headers only: a copy of Debian's in the staging prefix, so that the cross build
# never searches the Linux include folder.
if [ ! -d "$prefix/include/nlohmann" ]; then
    mkdir -p "$prefix/include" "$prefix/share/cmake"
    cp -r /usr/include/nlohmann "$prefix/include/"
    cp -r /usr/share/cmake/nlohmann_json "$prefix/share/cmake/"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DVELMORA_WINDOWS_PREFIX="$prefix" \
    -DVELMORA_GUI=OFF -DVELMORA_BENCH=OFF -DVELMORA_TESTS=ON >/dev/null
# Everything the Windows configuration has: the executables, the unit tests, the corpus replay.
wine_up "$build/wineprefix"
trap wine_down EXIT
cmake --build "$build" "$@"
