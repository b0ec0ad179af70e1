#!/usr/bin/env bash
# Builds the line-rate benchmark in a Release folder of its own (build/release-bench) and runs it: every
# adapter path against the simulated car in real time, measured against the line limit.
# Usage: scripts/line-bench.sh [REQUESTS]      (default 300 requests per path)
# On a busy machine, as root: chrt -f 10 scripts/line-bench.sh   (see README, "Performance")
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build/release-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF -DVELMORA_GUI=OFF >/dev/null
cmake --build "$build" --target velmora-line-bench
exec "$build/bench/velmora-line-bench" "$@"
