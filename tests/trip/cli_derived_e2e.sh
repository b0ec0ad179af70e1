#!/usr/bin/env bash
# End to end: velmora-cli trip and smooth against the simulated car in the tool's own process, on the real
# clock. trip: the log line written at the first display (also into LOGS/bc<yymmdd>.txt) and the nine
# figures; smooth: the column header and the round lines of an engine whose cylinder 2 gets no fuel.
# usage: cli_derived_e2e.sh trip|smooth VELMORA_CLI
set -euo pipefail
mode=$1 cli=$2
source "$(dirname "$0")/../support/cli_e2e_common.sh"

home="$work/home"
mkdir -p "$home"
case $mode in
trip) args=(--port SIM:hfm-trip trip --seconds 4) ;;
smooth) args=(--port SIM:hfm-misfire smooth --seconds 4) ;;
*) fail "unknown mode $mode" ;;
esac
status=0
timeout 60 "$cli" --home "$home" "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
[[ $status == 0 ]] || fail "exit status $status"
grep -qxF "Обмен остановлен." "$work/err" || fail "the connection did not end as stopped"

case $mode in
trip)
    # The first line of the log: the time and six right-aligned columns of 14 characters.
    first=$(head -1 "$work/out")
    # No average consumption before the car has moved; the fuel to 0.01 l.
    [[ $first =~ ^[0-9]{2}:[0-9]{2}:[0-9]{2}\ +—\ +00:0[0-9]\ м:с\ +0\.[0-9]{2}\ л ]] || fail "no log line first"
    log=$(ls "$home"/LOGS/bc*.txt) || fail "no trip log file"
    [[ $(sed -n 2p "$log") == Время*Движение_пробег* ]] || fail "no header in $log"
    [[ $(sed -n 3p "$log") == "$first" ]] || fail "the printed line is not the logged one"
    for label in "trip time" "idle time" distance fuel "idle fuel" "idle consumption, l/h" \
        "current consumption, l/h" "average speed" "trip consumption, l/100 km"; do
        grep -qE "^$label  *([0-9]|—)" "$work/out" || fail "no figure \"$label\""
    done
    grep -qE "^trip time +00:0[3-4] м:с$" "$work/out" || fail "not four seconds of trip"
    # Standing still: no average consumption to show yet.
    grep -qE "^trip consumption, l/100 km +—$" "$work/out" || fail "an average consumption at 0 m"
    ;;
smooth)
    # The run's heading: a separator, date, car and unit, the six cylinders in firing order.
    [[ $(sed -n 1p "$work/out") =~ ^-{60}$ ]] || fail "no separator"
    [[ $(sed -n 2p "$work/out") =~ ^[0-9.]+\ [0-9:]+\ \ Автомобиль:\ .*\ \ Блок:\ HFM ]] || fail "no date, car and unit"
    [[ $(sed -n 3p "$work/out") == "  Цил. 1   Цил. 5   Цил. 3   Цил. 6   Цил. 2   Цил. 4   Вывод" ]] ||
        fail "not the six columns in firing order"
    # Rounds with cylinder 2 (fifth column, one decimal and %) well above the others, named by the verdict.
    rounds=$(grep -cE '^[* ] ' "$work/out") || true
    ((rounds >= 5)) || fail "only $rounds rounds"
    awk 'NR > 3 && /^[* ] / { n++; if (substr($0, 39, 8) ~ /^\+[0-9]+\.[0-9]%/ && substr($0, 39, 8) + 0 >= 4) big++ }
        END { exit !(n > 0 && big * 2 > n) }' "$work/out" || fail "cylinder 2 does not stand out"
    named=$(grep -c 'подозрение: цилиндр 2 (' "$work/out") || true
    ((named * 2 > rounds)) || fail "the verdict names cylinder 2 in only $named of $rounds rounds"
    grep -qE "^Итог: чаще всего назван цилиндр 2 \(кругов: [0-9]+ из [0-9]+\)$" "$work/out" || fail "no summary naming cylinder 2"
    grep -qE '^[0-9]+ rpm$' "$work/out" || fail "no engine speed"
    ;;
esac
echo "ok"
