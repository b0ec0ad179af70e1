#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UndefinedBehaviorSanitizer and runs every
# test; then runs the tests where threads meet under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON >/dev/null
cmake --build "$build"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"

# Once more under ThreadSanitizer, the tests where threads meet (the core only: Qt is not instrumented).
tsan=build/tsan
cmake -S . -B "$tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE_THREAD=ON -DVELMORA_GUI=OFF \
    -DVELMORA_BENCH=OFF >/dev/null
cmake --build "$tsan" --target thread_tests
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 ctest --test-dir "$tsan" -L threads --output-on-failure -j"$(nproc)"
