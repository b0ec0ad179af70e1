#!/usr/bin/env bash
# End to end: velmora-cli --json against the simulated car (port SIM:hfm, a Bosch HFM unit with stored
# faults 7 and 14, 14 also current; its E-GAS module; a sound cable), per command family: every
# document parsed, its keys exactly the fields the one table documents (the man page's JSON OUTPUT,
# made from the same table as --help), its values checked; --version; and the README naming every
# command, option and JSON field of that table.
# usage: cli_json_e2e.sh faults|stored|fault-family|ident|watch|session|trip|smooth|module|adapter|line|calc|
#        convert|version|docs VELMORA_CLI VERSION README
set -euo pipefail
mode=$1 cli=$2 version=$3 readme=$4
source "$(dirname "$0")/../support/cli_e2e_common.sh"

# Runs the tool; the exit status must be $1 (0 when not given as a number).
run() {
    local want=0 status=0
    if [[ $1 =~ ^[0-9]+$ ]]; then
        want=$1
        shift
    fi
    timeout 60 "$cli" --home "$work/home" "$@" >"$work/out" 2>"$work/err" || status=$?
    [[ $status == "$want" ]] || fail "$*: exit status $status, wanted $want"
}

# The fields the table documents for command $1, in order.
documented() {
    "$cli" --help-man | sed -n 's/^\.\\" json '"$1"' //p'
}

# Runs the python check $2 on stdout, the JSON of command $1; document() parses one document whose keys
# must be the documented fields in their order, lines() one object per line each with those keys. A
# wrong field raises (and so fails).
check() {
    local fields
    fields=$(documented "$1")
    [[ -n $fields ]] || fail "no documented fields for $1"
    FIELDS=$fields python3 -c "import json, os, sys
documented = os.environ['FIELDS'].split()
def document():
    d = json.load(sys.stdin)
    assert list(d) == documented, (list(d), documented)
    return d
def lines():
    values = [json.loads(line) for line in sys.stdin.read().splitlines()]
    assert all(list(v) == documented for v in values), (values[:1], documented)
    return values
$2" <"$work/out" || fail "the JSON of $1 is not as documented"
}

case $mode in
faults)
    # The option before the command name works as well as after it.
    run --json --port SIM:hfm faults
    check faults '
d = document()
assert (d["port"], d["adapter"], d["unit"], d["unit_type"], d["supplier"]) == ("SIM:hfm", "K", "HFM", 1, "Bosch"), d
assert isinstance(d["diagnosis_index"], int) and d["stored_only"] is False and d["texts_notice"] is None, d
got = [(f["code"], f["stored"], f["current"], f["known"]) for f in d["faults"]]
assert got == [(7, True, False, True), (14, True, True, True)], got
assert d["faults"][0]["text"] == "Датчик температуры всасываемого воздуха B17: обрыв цепи", d["faults"][0]
assert all(isinstance(f["cell"], int) for f in d["faults"])'
    ;;
stored)
    run --port SIM:hfm faults --stored-only --lang en --json
    check faults '
d = document()
assert d["stored_only"] is True and [f["code"] for f in d["faults"]] == [7, 14], d
assert all(f["stored"] for f in d["faults"]) and d["faults"][0]["text"].isascii(), d'
    ;;
fault-family)
    # erase shows what remains (HFM), or that an LH unit wants an ignition cycle first; report its file.
    run --port SIM:hfm erase --json
    check erase '
d = document()
assert d["unit"] == "HFM" and d["ignition_cycle"] is False, d
assert [(f["code"], f["stored"], f["current"]) for f in d["faults"]] == [(14, True, True)], d'
    run --port SIM:lh erase --json
    check erase '
d = document()
assert (d["unit"], d["ignition_cycle"], d["faults"]) == ("LH", True, None), d'
    run --port SIM:hfm report --stored-only --json
    check report '
d = document()
assert d["stored_only"] is True and d["supplier"] == "Bosch" and os.path.isfile(d["report"]), d
assert os.path.dirname(d["report"]).endswith("/LOGS"), d'
    ;;
session)
    # One row per command: its arguments, its exit status, the check of its document.
    rows=(
        "range 0xF0 0x02 0x0B|0|d = document()
assert (d[\"command\"], d[\"from\"], d[\"to\"]) == (0xF0, 2, 11) and len(d[\"bytes\"]) == 10, d
assert all(isinstance(b, int) and 0 <= b <= 255 for b in d[\"bytes\"]) and any(d[\"bytes\"]), d"
        "act 0xD2 2|0|d = document()
assert (d[\"command\"], d[\"value\"], d[\"sent\"][-1]) == (0xD2, 2, \"D202\"), d"
        "adapt reset|0|d = document()
assert d[\"function\"] == \"reset\" and \"reset2\" in d[\"then\"], d"
        # Without the answer to the unit's check word the coding is not written: no document at all.
        "code 12 7 1|1|assert sys.stdin.read() == \"\""
    )
    for row in "${rows[@]}"; do
        IFS="|" read -r command want test <<<"$row"
        test=${row#*|*|}
        # shellcheck disable=SC2086 # the command's words
        run "$want" --port SIM:hfm $command --json
        check "${command%% *}" "$test"
    done
    # The coding written once the tool knows the answer to the unit's check word: a unit whose access
    # function is its word plus 0x0101, the word from the failed attempt's log.
    printf '[Unit]\nBase=hfm\n[Coding]\nXorMask=0\nRotate=0\nAdd=0x0101\n' >"$work/coding.ini"
    run 1 --port "SIM:$work/coding.ini" code 12 7 1 --json
    word=$(grep -A1 "^224 255 return" "$work/err" | tail -n 1)
    [[ $word =~ ^[0-9A-F]{4}$ ]] || fail "no check word in the log"
    printf '%s %.4X\n' "$word" $(((0x$word + 0x0101) & 0xFFFF)) >>"$work/home/DATA/coding_access.txt"
    run --port "SIM:$work/coding.ini" code 12 7 1 --json
    check code '
d = document()
assert d["coding"] == [12, 7, 1], d'
    ;;
smooth)
    # An engine whose cylinder 2 gets no fuel, six cylinders in firing order 1 5 3 6 2 4.
    run --port SIM:hfm-misfire smooth --seconds 4 --json
    check smooth '
d = document()
assert (d["seconds"], d["cylinders"], d["firing_order"]) == (4, 6, [1, 5, 3, 6, 2, 4]), d
results = d["results"]
assert len(results) >= 10 and all(1 <= r["cylinder"] <= 6 and r["rpm"] > 0 for r in results), d
two = [r["deviation_pct"] for r in results if r["cylinder"] == 2]
others = [abs(r["deviation_pct"]) for r in results if r["cylinder"] != 2]
mean = lambda values: sum(values) / len(values)
assert two and mean(two) >= 4 and mean(two) > 2 * mean(others), (two, others)
assert d["rpm"] == results[-1]["rpm"], d'
    ;;
calc)
    # The same description and bytes as text and as JSON: one answer, the float at its own precision.
    rows=("B|-40|0x7E|86|86|86" "B|(0;-7.8)-(255;81.45)~1|100|27.2|27.2|27.2")
    for row in "${rows[@]}"; do
        IFS="|" read -r type calc bytes text value log <<<"$row"
        # shellcheck disable=SC2086 # the bytes are words
        run calc --type "$type" --calc "$calc" $bytes --json
        check calc "d = document()
assert (d[\"text\"], d[\"value\"]) == (\"$text\", $value), d
assert d[\"log_text\"].strip() == \"$log\", d"
    done
    run 1 calc --type B --calc "(" 1 --json
    [[ ! -s $work/out ]] || fail "a description that does not convert printed a document"
    ;;
line)
    rows=(
        "SIM:cable|K|impulse 600|0|d = document()
assert (d[\"ms\"], d[\"done\"]) == (600, True) and \"Завершено!\" in d[\"log\"], d"
        "SIM:cable|E|impulse 600|1|d = document()
assert d[\"done\"] is False and \"Функция недоступна для адаптера ELM327!\" in d[\"log\"], d"
        "SIM:hfm40|K|slow-codes|0|d = document()
assert (d[\"outcome\"], d[\"codes\"], d[\"erase\"]) == (\"read\", [4, 4], False), d
assert \"Чтение завершено.\" in d[\"log\"] and d[\"adaptation_reset\"] is False, d"
        "SIM:cable|K|slow-codes|1|d = document()
assert (d[\"outcome\"], d[\"codes\"]) == (\"no_code\", []), d"
        "SIM:cable|K|elm-to-kkl|1|d = document()
assert d[\"done\"] is False and d[\"log\"], d"
    )
    for row in "${rows[@]}"; do
        IFS="|" read -r port adapter command want _ <<<"$row"
        test=${row#*|*|*|*|}
        # shellcheck disable=SC2086 # the command's words
        run "$want" --port "$port" --adapter "$adapter" $command --json
        check "${command%% *}" "$test"
    done
    ;;
convert)
    # The log of a short watch, converted with its CSV; then a file that is no log at all.
    run --port SIM:hfm watch 0 --seconds 1
    log=$(ls "$work"/home/LOGS/B52*.bin)
    run convert "$log" --csv --json
    check convert '
d = document()
assert (d["only_new"], d["csv"], d["failed"], d["skipped"]) == (False, True, 0, 0), d
assert sorted(os.path.splitext(f)[1] for f in d["written"]) == [".csv", ".txt"], d
assert all(os.path.isfile(f) for f in d["written"]) and isinstance(d["log"], list), d'
    run 1 convert "$work/home/LOGS/missing.bin" --json
    check convert '
d = document()
assert d["failed"] == 1 and d["written"] == [] and d["log"], d'
    ;;
ident)
    run --port SIM:hfm ident --json
    check ident '
import re
d = document()
assert (d["unit"], d["supplier"], d["supplier_code"]) == ("HFM", "Bosch", 1), d
assert re.fullmatch("[0-9A-F]{8}", d["signature"]) and re.fullmatch("([0-9A-F]{2}){50}", d["ident_bytes"]), d
assert d["ms_per_request"] > 0 and isinstance(d["ident"], str) and os.path.isfile(d["exchange_log"]), d
assert d["variant"] is None or len(d["variant"]) == 1, d'
    if grep -q "Exchange log" "$work/out"; then fail "text output mixed into the JSON"; fi
    ;;
watch)
    run --port SIM:hfm watch 0,1 --seconds 2 --json
    check watch '
values = lines()
assert len(values) >= 4, values
assert {v["number"] for v in values} == {0, 1}, values
assert all(isinstance(v["value"], (int, float)) and v["text"] for v in values), values
assert [v["ms"] for v in values] == sorted(v["ms"] for v in values), values'
    ;;
trip)
    # The cycle of SIM:hfm-trip idles first: the time runs, idle time with it, at an idle consumption.
    run --port SIM:hfm-trip trip --seconds 4 --json
    check trip '
d = document()
figures = ["trip_time_s", "idle_time_s", "distance_m", "fuel_l", "idle_fuel_l", "idle_consumption_l_h",
           "current_consumption_l_h", "average_speed_km_h", "trip_consumption_l_100km"]
assert list(d) == ["port", "adapter", "seconds"] + figures + ["log"], list(d)
assert all(isinstance(d[f], (int, float)) and d[f] >= 0 for f in figures), d
assert d["seconds"] == 4 and 1 <= d["trip_time_s"] <= 5 and d["idle_time_s"] <= d["trip_time_s"], d
assert d["idle_consumption_l_h"] > 0, d
assert len(d["log"]) >= 1 and all(isinstance(line, str) for line in d["log"]), d'
    ;;
module)
    # The simulated E-GAS module (VDO) has fault 2 stored before the erase.
    run --port SIM module egas --json
    check module '
d = document()
assert (d["module"], d["address"], d["identified"], d["supplier"], d["erase"]) == ("egas", 0x18, True, "VDO", False), d
assert len(d["part_number"]) == 10 and 2 in [f["code"] for f in d["faults"]], d
assert d["fault_records"] >= len(d["faults"]) and os.path.isfile(d["protocol_log"]), d'
    ;;
adapter)
    run --port SIM:cable adapter-test --json
    check adapter-test '
d = document()
assert (d["port"], d["test"], d["sound"]) == ("SIM:cable", "echo", True), d
assert "Адаптер исправен!" in d["log"], d["log"]'
    ;;
version)
    # Answered before the program folder is set up: nothing is created.
    (cd "$work" && VELMORA_HOME="$work/home" "$cli" --version >"$work/out" 2>"$work/err") || fail "exit status"
    [[ $(cat "$work/out") == "velmora-cli $version" ]] || fail "not the version"
    [[ ! -e $work/home ]] || fail "--version set up a program folder"
    ;;
docs)
    # Every command and option of the one table behind --help and the man page is in the README.
    "$cli" --help-man >"$work/out"
    names=$(sed -n 's/^\.\\" \(command\|option\) \(.*\)$/\2/p' "$work/out")
    [[ -n $names ]] || fail "no commands in the man page sections"
    for name in $names; do
        grep -q -- "\`$name" "$readme" || fail "README does not name $name"
    done
    # The JSON fields too, in the row of their command.
    while read -r command fields; do
        row=$(grep -F -- "| \`$command\` |" "$readme") || fail "README has no JSON row for $command"
        for field in $fields; do
            [[ $row == *"\`$field\`"* ]] || fail "README does not name the field $field of $command"
        done
    done < <(sed -n 's/^\.\\" json //p' "$work/out")
    "$cli" --help >"$work/out"
    grep -q -- "--json" "$work/out" || fail "--help lacks --json"
    grep -q "^JSON fields" "$work/out" || fail "--help lacks the JSON fields"
    ;;
*) fail "unknown mode $mode" ;;
esac
