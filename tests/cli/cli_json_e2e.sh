#!/usr/bin/env bash
# End to end: velmora-cli --json against the simulated car (port SIM:hfm, a Bosch HFM unit with stored
# faults 7 and 14, 14 also current; its E-GAS module; a sound cable), every document parsed and its
# fields checked; --version; and the
# README naming every command and option that --help and the man page are made from.
# usage: cli_json_e2e.sh faults|stored|ident|watch|trip|module|adapter|version|docs VELMORA_CLI VERSION README
set -euo pipefail
mode=$1 cli=$2 version=$3 readme=$4
source "$(dirname "$0")/../support/cli_e2e_common.sh"

run() {
    local status=0
    timeout 60 "$cli" --home "$work/home" "$@" >"$work/out" 2>"$work/err" || status=$?
    [[ $status == 0 ]] || fail "exit status $status"
}

# Runs the python check $1 on stdout; it raises (and so fails) when a field is wrong.
check() {
    python3 -c "import json, sys
$1" <"$work/out" || fail "the JSON is not as documented"
}

case $mode in
faults)
    # The option before the command name works as well as after it.
    run --json --port SIM:hfm faults
    check '
d = json.load(sys.stdin)
assert (d["port"], d["adapter"], d["unit"], d["unit_type"], d["supplier"]) == ("SIM:hfm", "K", "HFM", 1, "Bosch"), d
assert isinstance(d["diagnosis_index"], int) and d["stored_only"] is False and d["texts_notice"] is None, d
got = [(f["code"], f["stored"], f["current"], f["known"]) for f in d["faults"]]
assert got == [(7, True, False, True), (14, True, True, True)], got
assert d["faults"][0]["text"] == "Датчик температуры всасываемого воздуха B17: обрыв цепи", d["faults"][0]
assert all(isinstance(f["cell"], int) for f in d["faults"])'
    ;;
stored)
    run --port SIM:hfm faults --stored-only --lang en --json
    check '
d = json.load(sys.stdin)
assert d["stored_only"] is True and [f["code"] for f in d["faults"]] == [7, 14], d
assert all(f["stored"] for f in d["faults"]) and d["faults"][0]["text"].isascii(), d'
    ;;
ident)
    run --port SIM:hfm ident --json
    check '
import os, re
d = json.load(sys.stdin)
assert (d["unit"], d["supplier"], d["supplier_code"]) == ("HFM", "Bosch", 1), d
assert re.fullmatch("[0-9A-F]{8}", d["signature"]) and re.fullmatch("([0-9A-F]{2}){50}", d["ident_bytes"]), d
assert d["ms_per_request"] > 0 and isinstance(d["ident"], str) and os.path.isfile(d["exchange_log"]), d
assert d["variant"] is None or len(d["variant"]) == 1, d'
    if grep -q "Exchange log" "$work/out"; then fail "text output mixed into the JSON"; fi
    ;;
watch)
    run --port SIM:hfm watch 0,1 --seconds 2 --json
    check '
lines = sys.stdin.read().splitlines()
values = [json.loads(line) for line in lines]
assert len(values) >= 4, lines
assert all(set(v) == {"ms", "number", "name", "value", "unit", "text"} for v in values), values[0]
assert {v["number"] for v in values} == {0, 1}, values
assert all(isinstance(v["value"], (int, float)) and v["text"] for v in values), values
assert [v["ms"] for v in values] == sorted(v["ms"] for v in values), values'
    ;;
trip)
    # The cycle of SIM:hfm-trip idles first: the time runs, idle time with it, at an idle consumption.
    run --port SIM:hfm-trip trip --seconds 4 --json
    check '
d = json.load(sys.stdin)
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
    check '
import os
d = json.load(sys.stdin)
assert (d["module"], d["address"], d["identified"], d["supplier"], d["erase"]) == ("egas", 0x18, True, "VDO", False), d
assert len(d["part_number"]) == 10 and 2 in [f["code"] for f in d["faults"]], d
assert d["fault_records"] >= len(d["faults"]) and os.path.isfile(d["protocol_log"]), d'
    ;;
adapter)
    run --port SIM:cable adapter-test --json
    check '
d = json.load(sys.stdin)
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
    "$cli" --help >"$work/out"
    grep -q -- "--json" "$work/out" || fail "--help lacks --json"
    ;;
*) fail "unknown mode $mode" ;;
esac
