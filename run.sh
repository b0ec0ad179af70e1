#!/usr/bin/env bash
# Builds Velmora and starts it. Until a real port is chosen, it talks to the simulated car.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build/release
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null
cmake --build "$build"
if [ -x "$build/apps/velmora/velmora" ]; then
    exec "$build/apps/velmora/velmora" "$@"
fi
echo "The Velmora window is not built yet; the command-line tool is: $build/apps/velmora-cli/velmora-cli"
