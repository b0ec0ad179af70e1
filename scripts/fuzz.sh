#!/usr/bin/env bash
# Builds the libFuzzer targets in build/fuzz (clang, AddressSanitizer, UndefinedBehaviorSanitizer, no
# GUI) and runs one target or all, each for a time budget:
#     scripts/fuzz.sh [TARGET|all] [SECONDS]        (default: all, 300 s each)
# The working corpus grows in build/fuzz/corpus/<target>, seeded from fuzz/seeds/<target>, the stored
# findings and the shipped DATA files. A crash, a hang (10 s per input) or a failed property stops that
# target: the input is minimised and stored in tests/fuzz/<target>/, where the normal test run replays
# it. Runs at the lowest priority. Exit status 1 when anything was found. VELMORA_FUZZ_SKIP_BUILD=1 runs
# the targets as built, for several runs side by side.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh --fuzz

target=${1:-all}
seconds=${2:-300}
build=build/fuzz
[ "${VELMORA_FUZZ_SKIP_BUILD:-0}" = 1 ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 \
    -DVELMORA_FUZZ=ON -DVELMORA_SANITIZE=ON -DVELMORA_GUI=OFF -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF >/dev/null

targets=$(sed -n '/^set(VELMORA_FUZZ_TARGETS/,/)/p' fuzz/CMakeLists.txt | tr -d '()' | sed 's/set//; s/VELMORA_FUZZ_TARGETS//' | xargs)
if [ "$target" != all ]; then
    case " $targets " in
    *" $target "*) targets=$target ;;
    *) echo "unknown target $target (known: $targets)" >&2; exit 2 ;;
    esac
fi
[ "${VELMORA_FUZZ_SKIP_BUILD:-0}" = 1 ] || nice -n 19 cmake --build "$build" --target $(for t in $targets; do echo "fuzz_$t"; done)

# Shipped files that make good starting points, per target.
data_seeds() {
    case $1 in
    ini) echo data/DATA/options.ini data/DATA/coding_access.txt ;;
    dictionary) echo data/DATA/english.txt data/DATA/deutsch.txt ;;
    screens) echo data/DATA/options.ini ;;
    ecu_ini) ls data/DATA/ECU.ini data/DATA/hfmobd.ini 2>/dev/null || true ;;
    fault_texts) ls data/DATA/*/*.DAT ;;
    coding_access) echo data/DATA/coding_access.txt ;;
    log_convert) ls tests/log_convert/logs/*.bin ;;
    esac
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
found=0
summary=()
for t in $targets; do
    corpus=$build/corpus/$t
    findings=$build/findings/$t
    mkdir -p "$corpus" "$findings" "tests/fuzz/$t"
    for seed in fuzz/seeds/$t/* tests/fuzz/$t/* $(data_seeds "$t"); do
        [ -f "$seed" ] && cp -n "$seed" "$corpus/$(basename "$seed")"
    done
    dict=()
    [ -f "fuzz/dicts/$t.dict" ] && dict=(-dict="fuzz/dicts/$t.dict")
    log=$build/$t.log
    echo "== $t: $seconds s"
    set +e
    nice -n 19 "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
        -print_final_stats=1 -artifact_prefix="$findings/" "${dict[@]}" "$corpus" >"$log" 2>&1
    status=$?
    set -e
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)
    result="ok"
    if [ $status -ne 0 ]; then
        found=1
        artifact=$(ls -t "$findings"/* 2>/dev/null | head -1 || true)
        result="FINDING (see $log)"
        if [ -n "$artifact" ]; then
            minimised=$findings/minimised-$(basename "$artifact")
            nice -n 19 "$build/fuzz/fuzz_$t" -minimize_crash=1 -max_total_time=60 -timeout=10 \
                -exact_artifact_path="$minimised" "$artifact" >>"$log" 2>&1 || true
            [ -f "$minimised" ] || minimised=$artifact
            stored=tests/fuzz/$t/$(sha1sum "$minimised" | cut -c1-16)
            cp "$minimised" "$stored"
            result="FINDING stored as $stored (see $log)"
        fi
    fi
    summary+=("$t: ${runs:-?} inputs, ${rate:-?}/s, $result")
done
printf '%s\n' "${summary[@]}"
exit $found
