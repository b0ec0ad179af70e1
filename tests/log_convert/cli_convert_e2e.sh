#!/usr/bin/env bash
# End to end: velmora-cli ident against the simulated car leaves an exchange log; velmora-cli convert
# turns its LOGS folder into text and CSV beside the log; watch --csv records live values.
# usage: cli_convert_e2e.sh VELMORA_CLI
set -euo pipefail
cli=$1
work=$(mktemp -d)
cliPid=
trap '[[ -n $cliPid ]] && kill "$cliPid" 2>/dev/null; rm -rf "$work"' EXIT
home="$work/home"
mkdir -p "$home"

fail() {
    echo "FAIL: $*"
    cat "$work/err" 2>/dev/null || true
    exit 1
}

timeout 60 "$cli" --home "$home" --port SIM ident >"$work/out" 2>"$work/err" || fail "ident failed"
log=$(ls "$home"/LOGS/*.bin)
[[ $log == "$home/LOGS/B52001.bin" ]] || fail "no exchange log: $log"
cp "$log" "$work/before.bin"

timeout 60 "$cli" --home "$home" convert "$home/LOGS" --csv >"$work/out" 2>"$work/err" || fail "convert failed"
# The log lines, then the files written.
expected=$'\nЗапущено преобразование лог файлов в текст.\nB52001.txt OK\nПреобразование выполнено.\n'
expected+="$home/LOGS/B52001.txt"$'\n'"$home/LOGS/B52001.csv"
[[ $(cat "$work/out") == "$expected" ]] || fail "not the lines and files: $(cat "$work/out")"
grep -qF "Diagnosis index: 52/01" "$home/LOGS/B52001.txt" || fail "no identification report in the text"
grep -qE "^00000000  F0 00 27  ecu info" "$home/LOGS/B52001.txt" || fail "no identification pairs in the text"
cmp -s "$log" "$work/before.bin" || fail "the log changed"
head -c 40 "$home/LOGS/B52001.csv" | grep -qF "pair,number,name,value,unit" || fail "no CSV header"

# Only new logs: nothing left to do.
timeout 60 "$cli" --home "$home" convert "$home/LOGS" --only-new >"$work/out" 2>"$work/err" || fail "convert --only-new failed"
grep -qxF "Файлы для преобразования не обнаружены." "$work/out" || fail "--only-new converted again"

# A chosen ECU.ini that is not there is an error, and nothing is converted.
rm "$home/LOGS/B52001.txt"
status=0
timeout 60 "$cli" --home "$home" convert "$home/LOGS" --ecu-ini "$work/absent.ini" >"$work/out" 2>"$work/err" || status=$?
[[ $status == 1 ]] || fail "--ecu-ini of a missing file: exit $status"
grep -qF "Файл не найден: $work/absent.ini" "$work/out" || fail "the missing ECU.ini is not named"
[[ ! -e $home/LOGS/B52001.txt ]] || fail "converted without the ECU.ini asked for"

# SIGTERM during the conversion of a big log: no text under the log's name, no leftover, exit 1; the next
# --only-new converts it.
for _ in $(seq 400); do cat "$log"; done >"$home/LOGS/B52002.bin"
# Started directly (not under timeout, which passes a signal on to its whole group as well: the second
# SIGTERM then ends the tool at once); a watchdog bounds the wait instead.
"$cli" --home "$home" convert "$home/LOGS/B52002.bin" >"$work/out" 2>"$work/err" &
cliPid=$!
for _ in $(seq 200); do
    [[ -e $home/LOGS/B52002.txt.part ]] && break
    sleep 0.05
done
[[ -e $home/LOGS/B52002.txt.part ]] || fail "no conversion under way"
kill -TERM "$cliPid"
# A watchdog ends a tool that would not stop; ended itself, it takes its sleep along.
(
    trap 'kill "$sleeper"; exit 0' TERM
    sleep 120 &
    sleeper=$!
    wait "$sleeper" && kill -KILL "$cliPid"
) >/dev/null 2>&1 &
watchdog=$!
status=0
wait "$cliPid" || status=$?
kill "$watchdog" 2>/dev/null || true
cliPid=
[[ $status == 1 ]] || fail "a conversion ended by SIGTERM exits $status"
[[ ! -e $home/LOGS/B52002.txt && ! -e $home/LOGS/B52002.txt.part ]] || fail "a half text was left"
grep -qxF "Преобразование прервано." "$work/out" || fail "the cancel is not said"
timeout 120 "$cli" --home "$home" convert "$home/LOGS" --only-new >"$work/out" 2>"$work/err" || fail "convert --only-new failed"
grep -qxF "B52002.txt OK" "$work/out" || fail "--only-new passed over the interrupted log"
rm "$home/LOGS/B52002.bin" "$home/LOGS/B52002.txt"

timeout 60 "$cli" --home "$home" --port SIM watch 0,1 --seconds 1 --csv "$work/live.csv" >"$work/out" 2>"$work/err" ||
    fail "watch --csv failed"
grep -qE '^[0-9]+,0,Температура ОЖ,[0-9]+,°'$'\r''$' "$work/live.csv" || fail "no coolant rows in the live CSV"
rows=$(($(wc -l <"$work/live.csv") - 1))
[[ $rows == $(wc -l <"$work/out") ]] || fail "the CSV has $rows rows for $(wc -l <"$work/out") values"
echo OK
