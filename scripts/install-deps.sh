#!/usr/bin/env bash
# Installs the Debian packages the build needs, only those that are missing.
# Quiet when everything is there; safe to run any number of times.
# Optional groups, not needed to build or test (so ./test.sh stays as fast): --packaging adds what
# scripts/package-deb.sh needs to build and check the .deb, --fuzz clang and its libFuzzer for scripts/fuzz.sh,
# --windows the MinGW-w64 cross compiler and Wine for scripts/windows-build.sh and scripts/windows-test.sh.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config
    googletest libgtest-dev libgmock-dev libbenchmark-dev
    libftdi1-dev libserialport-dev libjpeg-dev nlohmann-json3-dev
    qt6-base-dev qt6-translations-l10n libsqlite3-dev libpq-dev fonts-dejavu-core poppler-utils
)
case "${1:-}" in
--packaging) packages+=(dpkg-dev fakeroot file desktop-file-utils appstream) ;;
--fuzz) packages+=(clang-14 libclang-rt-14-dev llvm-14) ;;
--windows) packages+=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev wine wine64 ccache) ;;
esac

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
