#!/usr/bin/env bash
# One version everywhere: --version of every executable, the AppStream release, the man page and the
# Debian package all carry the project version.
# usage: versions_agree_e2e.sh VERSION METAINFO MANPAGE CPACK_CONFIG EXECUTABLE...
set -euo pipefail
version=$1 metainfo=$2 manpage=$3 cpackConfig=$4
shift 4
source "$(dirname "$0")/../support/cli_e2e_common.sh"

for program in "$@"; do
    QT_QPA_PLATFORM=offscreen VELMORA_HOME="$work/home" "$program" --version >"$work/out" 2>"$work/err" ||
        fail "$program --version failed"
    [[ $(cat "$work/out") == "$(basename "$program") $version" ]] || fail "$program: not version $version"
done
grep -qF "<release version=\"$version\"" "$metainfo" || fail "the metainfo's release is not $version"
grep -q "^\.TH VELMORA-CLI 1 .*\"Velmora $version\"" "$manpage" || fail "the man page is not of $version"
grep -qF "set(CPACK_PACKAGE_VERSION \"$version\")" "$cpackConfig" || fail "the package is not $version"
