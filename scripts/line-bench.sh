#!/usr/bin/env bash
# Builds the line-rate and window benchmarks in a Release folder of its own (build/release-bench) and
# runs them: every adapter path against the simulated car in real time, measured against the line limit,
# then the window's CPU while it polls and the window at 200 value updates per second (offscreen).
# Usage: scripts/line-bench.sh [REQUESTS]      (default 300 requests per path)
# On a busy machine, as root: chrt -f 10 scripts/line-bench.sh   (see README, "Performance")
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
build=build/release-bench
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF >/dev/null
cmake --build "$build" --target velmora-line-bench velmora-window-bench velmora-window-rate-bench
"$build/bench/velmora-line-bench" "$@"
echo
QT_QPA_PLATFORM=offscreen "$build/bench/velmora-window-bench" 2>/dev/null
echo
QT_QPA_PLATFORM=offscreen "$build/bench/velmora-window-rate-bench" 2>/dev/null
