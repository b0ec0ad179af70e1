#!/usr/bin/env bash
# Builds the Debian package from a clean Release build in build/package and checks it: the package's
# file list, the desktop entry and the AppStream description validated, and the package unpacked into
# a staging folder, from which velmora-cli and velmora-sim must run --version and find their DATA.
# usage: scripts/package-deb.sh        (the .deb lands in build/package/)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --packaging
build=build/package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
cmake --build "$build"
rm -f "$build"/velmora_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/velmora_*.deb)
echo "Package: $deb"
dpkg-deb --field "$deb" Package Version Architecture Depends

# What the package must carry.
contents=$(dpkg -c "$deb")
for wanted in ./usr/bin/velmora-cli ./usr/bin/velmora-sim ./usr/share/velmora/DATA/english.txt \
    ./usr/share/applications/org.velmora.Velmora.desktop ./usr/share/metainfo/org.velmora.Velmora.metainfo.xml \
    ./usr/share/icons/hicolor/scalable/apps/velmora.svg ./usr/share/man/man1/velmora-cli.1 \
    ./usr/share/man/man1/velmora-sim.1 ./usr/share/bash-completion/completions/velmora-cli \
    ./usr/lib/udev/rules.d/60-velmora-ftdi.rules; do
    grep -q " $wanted\$" <<<"$contents" || { echo "missing in the package: $wanted"; exit 1; }
done

# Unpacked into a staging folder, the installed copy runs and finds its shipped DATA.
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
dpkg-deb -x "$deb" "$stage/root"
# One version: the package's is what every installed executable and the metainfo say.
version=$(dpkg-deb --field "$deb" Version)
for program in velmora-cli velmora-sim velmora; do
    [[ -x $stage/root/usr/bin/$program ]] || continue # a package made without the window
    said=$(QT_QPA_PLATFORM=offscreen "$stage/root/usr/bin/$program" --version)
    [[ $said == "$program $version" ]] || { echo "$program says \"$said\", the package $version"; exit 1; }
done
grep -qF "<release version=\"$version\"" "$stage/root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml" ||
    { echo "the metainfo's release is not $version"; exit 1; }
echo "Version $version everywhere"
home="$stage/home"
HOME="$home" XDG_DATA_HOME= "$stage/root/usr/bin/velmora-cli" --port SIM faults --json >"$stage/faults.json" 2>/dev/null
python3 -m json.tool "$stage/faults.json" >/dev/null
[ -f "$home/.local/share/velmora/DATA/english.txt" ] || { echo "the installed copy did not find its DATA"; exit 1; }
echo "Installed copy: runs, finds its DATA, keeps user files in ~/.local/share/velmora"

desktop-file-validate "$stage/root/usr/share/applications/org.velmora.Velmora.desktop"
appstreamcli validate --no-net "$stage/root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml"
man -l "$stage/root/usr/share/man/man1/velmora-cli.1" >/dev/null
echo "Checked: $deb"
