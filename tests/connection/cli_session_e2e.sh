#!/usr/bin/env bash
# End to end: the session commands of velmora-cli against the simulated car in the tool's own process
# (port SIM:hfm), on the real clock: the fault list as the fault tab shows it, and live values of a
# watched view list.
# usage: cli_session_e2e.sh faults|watch VELMORA_CLI
set -euo pipefail
mode=$1 cli=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*"
    echo "--- velmora-cli output:"; cat "$work/out" 2>/dev/null || true
    echo "--- velmora-cli log:"; cat "$work/err" 2>/dev/null || true
    exit 1
}

home="$work/home"
mkdir -p "$home"
case $mode in
faults) args=(faults) ;;
watch) args=(watch 0,1 --seconds 2) ;;
*) fail "unknown mode $mode" ;;
esac
status=0
timeout 60 "$cli" --home "$home" --port SIM:hfm "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
[[ $status == 0 ]] || fail "exit status $status"
grep -qxF "Обмен остановлен." "$work/err" || fail "the connection did not end as stopped"

case $mode in
faults)
    # Stored faults 5 and 12 (codes 7 and 14), fault 12 also current; no fault texts in this home.
    expected=$'007,  Сохраненный\n014,  Сохраненный\n014,  АКТУАЛЬНЫЙ'
    [[ $(cat "$work/out") == "$expected" ]] || fail "not the fault list of the unit"
    ;;
watch)
    # "elapsed ms, number, value": the coolant (86°) and the engine speed at idle (about 720 rpm), in
    # turn, for two seconds.
    lines=$(wc -l <"$work/out")
    ((lines >= 20)) || fail "only $lines values in two seconds"
    grep -qE '^ +[0-9]+ +0 86°$' "$work/out" || fail "no coolant value"
    grep -qE '^ +[0-9]+ +1 7[0-4][0-9]$' "$work/out" || fail "no idle speed value"
    ! grep -qvE '^ +[0-9]+ +[01] ' "$work/out" || fail "a parameter that was not watched"
    last=$(tail -n 1 "$work/out" | awk '{print $1}')
    ((last <= 2100)) || fail "values after the watch time: $last ms"
    ;;
esac
[[ -s $(ls "$home"/LOGS/B52*.bin | head -n 1) ]] || fail "no exchange log"
echo "velmora-cli $mode: ok"
