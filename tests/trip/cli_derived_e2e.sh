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
    [[ $first =~ ^[0-9]{2}:[0-9]{2}:[0-9]{2}\ +40\.0\ +00:0[0-9]\ м:с\ +0\.0\ л ]] || fail "no log line first"
    log=$(ls "$home"/LOGS/bc*.txt) || fail "no trip log file"
    [[ $(sed -n 2p "$log") == Время*Движение_пробег* ]] || fail "no header in $log"
    [[ $(sed -n 3p "$log") == "$first" ]] || fail "the printed line is not the logged one"
    for label in "trip time" "idle time" distance fuel "idle fuel" "idle consumption, l/h" \
        "current consumption, l/h" "average speed" "trip consumption, l/100 km"; do
        grep -q "^$label  *[0-9]" "$work/out" || fail "no figure \"$label\""
    done
    grep -qE "^trip time +00:0[3-4] м:с$" "$work/out" || fail "not four seconds of trip"
    ;;
smooth)
    [[ $(head -1 "$work/out") == "  1     5     3     6     2     4     " ]] || fail "not the six columns in firing order"
    # Rounds with cylinder 2 (fifth column) well above the others.
    rounds=$(grep -cE '^[* ] ' "$work/out") || true
    ((rounds >= 5)) || fail "only $rounds rounds"
    awk 'NR > 2 && /^[* ] / { n++; if (substr($0, 27, 5) + 0 >= 4) big++ } END { exit !(n > 0 && big * 2 > n) }' \
        "$work/out" || fail "cylinder 2 does not stand out"
    grep -qE '^[0-9]+ rpm$' "$work/out" || fail "no engine speed"
    ;;
esac
echo "ok"
