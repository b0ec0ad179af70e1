#!/usr/bin/env bash
# End to end: velmora-cli ident against the simulated car leaves an exchange log; velmora-cli convert
# turns its LOGS folder into text and CSV beside the log; watch --csv records live values.
# usage: cli_convert_e2e.sh VELMORA_CLI
set -euo pipefail
cli=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
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

timeout 60 "$cli" --home "$home" --port SIM watch 0,1 --seconds 1 --csv "$work/live.csv" >"$work/out" 2>"$work/err" ||
    fail "watch --csv failed"
grep -qE '^[0-9]+,0,Температура ОЖ,[0-9]+,°'$'\r''$' "$work/live.csv" || fail "no coolant rows in the live CSV"
rows=$(($(wc -l <"$work/live.csv") - 1))
[[ $rows == $(wc -l <"$work/out") ]] || fail "the CSV has $rows rows for $(wc -l <"$work/out") values"
echo OK
