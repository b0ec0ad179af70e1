#!/usr/bin/env bash
# End to end: velmora-cli watch --csv records live values from the simulated car; velmora-cli replay of
# the exchange log it left writes the same CSV (the same values in the same order, times within 20 ms).
# Without its times file the log still replays the same values, at estimated times, and says so.
# usage: cli_replay_e2e.sh hfm|elm|lh|no-times|arguments VELMORA_CLI
set -euo pipefail
mode=$1
cli=$2
source "$(dirname "$0")/../support/cli_e2e_common.sh"
home="$work/home"
mkdir -p "$home"

case $mode in
hfm | no-times | arguments) port=(--port SIM:hfm) ;;
elm) port=(--port SIMELM:hfm --adapter E) ;;
lh) port=(--port SIM:lh) ;;
*) fail "unknown mode $mode" ;;
esac

timeout 60 "$cli" --home "$home" "${port[@]}" watch 0,1 --seconds 2 --csv "$work/live.csv" >"$work/out" \
    2>"$work/err" || fail "watch --csv failed"
log=$(ls "$home"/LOGS/*.bin)
[[ -s ${log%.bin}.times ]] || fail "no times beside $log"
cp "$log" "$work/before.bin"

# Compares two CSV files of values: the same rows but for the time, and times no further apart than $3 ms.
same_values() {
    python3 - "$1" "$2" "$3" <<'EOF'
import csv, sys
def rows(name):
    with open(name, encoding="utf-8-sig", newline="") as f:
        return list(csv.reader(f))
live, replay, within = rows(sys.argv[1]), rows(sys.argv[2]), int(sys.argv[3])
assert live[0] == replay[0] == ["time_ms", "number", "name", "value", "unit"], (live[0], replay[0])
assert len(live) > 5, live
assert [r[1:] for r in live] == [r[1:] for r in replay], "values differ"
worst = max(abs(int(a[0]) - int(b[0])) for a, b in zip(live[1:], replay[1:]))
assert worst <= within, f"times {worst} ms apart"
EOF
}

case $mode in
hfm | elm | lh)
    timeout 60 "$cli" --home "$home" replay "$log" --fast --csv "$work/replay.csv" >"$work/out" 2>"$work/err" ||
        fail "replay failed"
    same_values "$work/live.csv" "$work/replay.csv" 20 || fail "the replay's CSV is not the live one"
    [[ $(wc -l <"$work/out") == $(($(wc -l <"$work/live.csv") - 1)) ]] || fail "not a line per value"
    ! grep -q . "$work/err" || fail "a recording with its times said: $(cat "$work/err")"
    cmp -s "$log" "$work/before.bin" || fail "the replay changed the log"
    ;;
no-times)
    rm "${log%.bin}.times"
    timeout 60 "$cli" --home "$home" replay "$log" --fast --csv "$work/replay.csv" >"$work/out" 2>"$work/err" ||
        fail "a log without times does not replay"
    grep -qxF "Время пар оценено по номинальной скорости линии (Файл времени отсутствует)" "$work/err" ||
        fail "the estimated times are not said"
    # Estimated at the line's rate from the first pair: the same values, not the same times.
    same_values "$work/live.csv" "$work/replay.csv" 1000000 || fail "a log without times replays other values"
    ;;
arguments)
    # A window of the replay's clock: the values of the live CSV from 1 s to 1.5 s.
    timeout 60 "$cli" --home "$home" replay "$log" --from 1 --to 1.5 --speed 20 --csv "$work/part.csv" \
        >"$work/out" 2>"$work/err" || fail "replay --from --to failed"
    python3 - "$work/live.csv" "$work/part.csv" <<'EOF' || fail "not the live values of 1 s to 1.5 s"
import csv, sys
def rows(name):
    with open(name, encoding="utf-8-sig", newline="") as f:
        return list(csv.reader(f))[1:]
live, part = rows(sys.argv[1]), rows(sys.argv[2])
assert part and all(1000 <= int(r[0]) <= 1500 for r in part), part
# Times may differ by 20 ms: every live value well inside the window is replayed, and nothing replayed
# lies outside it by more than that.
inside = [r[1:] for r in live if 1000 + 20 < int(r[0]) < 1500 - 20]
around = [r[1:] for r in live if 1000 - 20 <= int(r[0]) <= 1500 + 20]
assert all(r in [p[1:] for p in part] for r in inside), (inside, part)
assert all(p[1:] in around for p in part) and len(part) <= len(around), (around, part)
EOF
    timeout 60 "$cli" --home "$home" replay "$log" --fast --json >"$work/out" 2>"$work/err" ||
        fail "replay --json failed"
    python3 -c '
import json, sys
values = [json.loads(line) for line in open(sys.argv[1])]
assert values and all(list(v) == ["ms", "number", "name", "value", "unit", "text"] for v in values), values
' "$work/out" || fail "not one JSON object per value"
    # Wrong command lines exit 2; a file that is no recording exits 1, with the reason.
    printf 'not a log' >"$work/text.bin"
    while IFS='|' read -r code args reason; do
        status=0
        # shellcheck disable=SC2086
        timeout 60 "$cli" --home "$home" replay $args >"$work/out" 2>"$work/err" || status=$?
        [[ $status == "$code" ]] || fail "replay $args exits $status"
        grep -qF -- "$reason" "$work/err" || fail "replay $args does not say \"$reason\""
    done <<EOF
2|--fast|which recording
2|$log --fast --speed 2|exclude each other
2|$log --speed 0|--speed wants
2|$log --from 3 --to 1|--from is after --to
2|$log --to x|--to wants
1|$work/missing.bin|Не удалось открыть файл: $work/missing.bin
1|$work/text.bin|В логе нет пар запросов: $work/text.bin
1|$log --fast --from 100|no parameter value
EOF
    ;;
esac
echo "velmora-cli replay $mode: ok"
