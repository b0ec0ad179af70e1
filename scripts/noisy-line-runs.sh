#!/usr/bin/env bash
# Runs velmora-cli faults and ident on the simulated HFM with a stray byte on the K-line every NOISE_MS
# (default 300) through the cable and the CarSoft interface, RUNS times each with a new seed, and counts
# the outcomes against the same command on a clean line: "clean" (exit 0, the fault-free result), "named"
# (exit 1 naming the line) and "WRONG" (anything else, above all exit 0 with another result).
# Usage: scripts/noisy-line-runs.sh VELMORA_CLI [RUNS] [NOISE_MS]
set -uo pipefail
cli=$1 runs=${2:-20} noise=${3:-300}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home"
profile() { # seed, noise ms
    local file="$work/p-$1-$2.ini"
    printf '[Unit]\nBase=hfm\n[Engine]\nSeed=%s\n[LineFaults]\nNoiseEveryMs=%s\n' "$1" "$2" >"$file"
    echo "$file"
}
result() { grep -vE '"(exchange_log|port|ms_per_request)"' "$1"; }
for adapter in "SIM: K" "SIMCARSOFT: C"; do
    read -r prefix kind <<<"$adapter"
    for command in faults ident; do
        clean=0 named=0 wrong=0
        # The clean line's result; the seed only gives the stray bytes their values.
        "$cli" --home "$home" --port "$prefix$(profile 1 0)" --adapter "$kind" "$command" --json \
            >"$work/ref" 2>/dev/null || echo "the clean run of $prefix $command failed" >&2
        for seed in $(seq 1 "$runs"); do
            status=0
            "$cli" --home "$home" --port "$prefix$(profile "$seed" "$noise")" --adapter "$kind" "$command" --json \
                >"$work/out" 2>"$work/err" || status=$?
            if [[ $status == 0 ]] && diff -q <(result "$work/ref") <(result "$work/out") >/dev/null; then
                clean=$((clean + 1))
            elif [[ $status == 1 ]] && grep -q 'Помехи на линии K' "$work/err"; then
                named=$((named + 1))
            else
                wrong=$((wrong + 1))
                echo "WRONG: $prefix $command seed $seed exit $status" >&2
            fi
        done
        echo "$prefix $command, noise every $noise ms: $clean clean, $named named the line, $wrong wrong (of $runs)"
    done
done
