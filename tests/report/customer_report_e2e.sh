#!/usr/bin/env bash
# End to end: the customer report of velmora-cli (report --pdf) for the simulated car after an erase,
# in the language given: the PDF's text holds the workshop, the client, the VIN, the mileage under its own
# label (not the trip's distance) and notes, each fault's code and text in that language and the
# recurring mark; its fonts are all embedded; its first page rendered is not blank; a second report never overwrites the first. Needs poppler-utils
# (scripts/install-deps.sh installs it).
# usage: customer_report_e2e.sh ru|en|de VELMORA_CLI
set -euo pipefail
lang=$1 cli=$2
source "$(dirname "$0")/../support/cli_e2e_common.sh"
home=$work/home
for tool in pdftotext pdffonts pdftoppm; do
    command -v $tool >/dev/null || fail "$tool is missing: run scripts/install-deps.sh"
done

run() {
    timeout 120 "$cli" --home "$home" --lang "$lang" "$@" >"$work/out" 2>"$work/err" || fail "$*: exit status $?"
}

mkdir -p "$home"
printf '[OPTIONS]\nWORKSHOP_NAME=Autohaus Müller & Сыновья\nWORKSHOP_ADDRESS=Hauptstraße 5\nWORKSHOP_PHONE=+49 30 123456\n' \
    >"$home/velmora.ini"
run --port SIM:hfm --client "Кузнецова Анна" erase
run --port SIM:hfm --client "Кузнецова Анна" --json faults
cp "$work/out" "$work/faults.json"
run --port SIM:hfm --client "Кузнецова Анна" report --pdf --mileage "187 400" --notes "Prüfung nach Reparatur" --seconds 1
pdf=$(cat "$work/out")
[[ $pdf == "$home/CLIENTS/Кузнецова Анна/REPORT_"*.pdf && -s $pdf ]] || fail "report at $pdf"

pdftotext "$pdf" "$work/text" || fail "pdftotext cannot read the report"
# Lines wrap where the page ends: compare with all white space as one blank.
flat=$(tr -s ' \n' '  ' <"$work/text")
expect() {
    [[ $flat == *"$1"* ]] || fail "the report lacks \"$1\""
}
expect "Autohaus Müller & Сыновья"
expect "Hauptstraße 5"
expect "Кузнецова Анна"
expect "WDB1240921F123"
expect "187 400"
expect "Prüfung nach Reparatur"
while IFS=$'\t' read -r code text; do
    expect "$code"
    expect "$text"
done < <(python3 -c "import json, sys
for f in json.load(open(sys.argv[1]))['faults']:
    print('%03d\t%s' % (f['code'], ' '.join(f['text'].split())))" "$work/faults.json")
case $lang in
ru) expect "Повторная ошибка"; expect "Пробег автомобиля 187 400" ;;
en) expect "Recurring fault"; expect "Mileage 187 400" ;;
de) expect "Wiederkehrender Fehler"; expect "Kilometerstand 187 400" ;;
esac

# Every font is embedded (the column "emb" of pdffonts says yes), and there is at least one.
pdffonts "$pdf" >"$work/fonts"
[[ $(tail -n +3 "$work/fonts" | wc -l) -ge 1 ]] || fail "no fonts in the report"
if tail -n +3 "$work/fonts" | awk '{ if ($(NF-4) != "yes") bad = 1 } END { exit !bad }'; then
    cat "$work/fonts"
    fail "a font is not embedded"
fi

# The first page as a grey image: a good share of it is ink.
pdftoppm -f 1 -l 1 -r 30 -gray "$pdf" "$work/page"
python3 -c "import sys
data = open(sys.argv[1], 'rb').read()
parts = data.split(maxsplit=4)
assert parts[0] == b'P5', parts[0]
pixels = parts[4]
dark = sum(1 for p in pixels if p < 128)
assert dark > len(pixels) // 100, (dark, len(pixels))" "$work"/page*.pgm || fail "the first page is blank"

# A second report of the same second gets a name of its own.
run --port SIM:hfm --client "Кузнецова Анна" report --pdf --seconds 0
second=$(cat "$work/out")
[[ $second != "$pdf" && -s $second && -s $pdf ]] || fail "the second report took the first one's place"
# An explicit file is never written over.
timeout 60 "$cli" --home "$home" --port SIM:hfm report --pdf "$pdf" --seconds 0 >"$work/out" 2>"$work/err" &&
    fail "an existing file was written over"
grep -q "exists already" "$work/err" || fail "no reason for refusing an existing file"
exit 0
