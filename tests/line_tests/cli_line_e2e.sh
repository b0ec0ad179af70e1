#!/usr/bin/env bash
# End to end: the line commands of velmora-cli against the simulated car in the tool's own process, on the
# real clock: the echo test on a sound and on a broken cable, the CarSoft check, an impulse, a refusal and
# the blink codes of an older unit.
# usage: cli_line_e2e.sh sound|broken|carsoft|impulse|refused|slowcodes VELMORA_CLI
set -euo pipefail
mode=$1 cli=$2
source "$(dirname "$0")/../support/cli_e2e_common.sh"

case $mode in
sound) args=(--port SIM:cable adapter-test) want=0 line="Адаптер исправен!" ;;
broken) args=(--port SIM:cable-noecho adapter-test) want=1 line="Адаптер НЕИСПРАВЕН, варианты:" ;;
carsoft) args=(--port SIMCARSOFT:hfm adapter-test --carsoft) want=0 line="OK!" ;;
impulse) args=(--port SIM:cable impulse 600) want=0 line="Завершено!" ;;
refused) args=(--port SIM:cable --adapter E impulse 600) want=1 line="Функция недоступна для адаптера ELM327!" ;;
slowcodes) args=(--port SIM:hfm40 slow-codes) want=0 line="Чтение завершено." ;;
*) fail "unknown mode $mode" ;;
esac
mkdir -p "$work/home"
status=0
timeout 90 "$cli" --home "$work/home" "${args[@]}" >"$work/out" 2>"$work/err" || status=$?
[[ $status == "$want" ]] || fail "exit status $status, wanted $want"
grep -qxF -- "$line" "$work/out" || fail "no line \"$line\""

case $mode in
sound)
    grep -qxF "Отправлено в линию 256 байт, принято без искажений (эхо) 256" "$work/out" || fail "not 256/256" ;;
broken)
    grep -qxF " 0/нет ответа" "$work/out" || fail "not stopped after byte 0" ;;
slowcodes)
    # The single stored code of the unit, shown twice before the third reading ends the list.
    [[ $(grep -cxF " 4" "$work/out") == 2 ]] || fail "code 4 not read twice" ;;
esac
echo "ok: $mode"
