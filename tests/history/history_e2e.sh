#!/usr/bin/env bash
# End to end: the history of the simulated car (SIM:hfm, stored faults 7 and 14, 14 also current) over
# velmora-cli sessions in one program folder. An erase removes 7 and leaves 14; at the next visit 7 is
# back and is reported recurring (faults --json seen_before), the log says when the car was last seen,
# `history --json` lists both visits with their faults, and --rebuild makes the same visits from the
# exchange logs. A damaged database is reported and the session still runs and writes its log; the
# visit waits in the queue and is written once the database is usable again.
# usage: history_e2e.sh recurring|rebuild|damaged VELMORA_CLI
set -euo pipefail
mode=$1 cli=$2
source "$(dirname "$0")/../support/cli_e2e_common.sh"
home=$work/home

run() {
    timeout 60 "$cli" --home "$home" "$@" >"$work/out" 2>"$work/err" || fail "$*: exit status $?"
}

# The visits of `history --json`, checked by the python lines in $1.
check_history() {
    run history --json --vin WDB1240921F123
    python3 -c "import json, sys
d = json.load(sys.stdin)
visits = d['visits']
faults = [[(f['code'], f['erased'], f['remained']) for f in v['faults']] for v in visits]
$1" <"$work/out" || fail "history --json is not as expected"
}

case $mode in
recurring)
    run --port SIM:hfm --client "Петров" erase
    grep -q "в истории ещё не встречался" "$work/err" || fail "the first visit is not told as the first"
    run --port SIM:hfm --client "Петров" --json faults
    grep -q "был в последний раз .*, ошибки: 007 (стерта), 014" "$work/err" || fail "the log does not tell the last visit"
    python3 -c "import json, sys
d = json.load(sys.stdin)
got = {f['code']: ([s['erased'] for s in f['seen_before']], f['recurring']) for f in d['faults']}
assert got == {7: ([True], True), 14: ([False], False)}, got" <"$work/out" || fail "seen_before is wrong"
    check_history '
assert len(visits) == 2, visits
assert faults[0] == [(7, True, False), (14, False, True)], faults
assert faults[1] == [(7, False, False), (14, False, False)], faults
assert [e["kind"] for e in visits[0]["events"]] == ["erase"] and visits[0]["events"][0]["detail"] == "remaining 1", visits[0]
assert all(v["client"] == "Петров" and v["unit"] == "HFM Bosch 52" for v in visits), visits
assert all(any(f["kind"] == "exchange_log" for f in v["files"]) for v in visits), visits'
    run history --client "Петров"
    [[ $(grep -c "^20.*WDB1240921F123" "$work/out") == 2 ]] || fail "history --client lists not two visits"
    ;;
rebuild)
    run --port SIM:hfm erase
    run --port SIM:hfm faults
    rm "$home/history.sqlite"*
    run history --rebuild
    grep -q "^2 visits from 2 exchange logs" "$work/out" || fail "the rebuild did not read both logs"
    check_history '
assert len(visits) == 2, visits
assert faults[0] == [(7, True, False), (14, False, True)], faults
assert faults[1] == [(7, False, False), (14, False, False)], faults'
    ;;
damaged)
    mkdir -p "$home"
    head -c 4096 /dev/urandom >"$home/history.sqlite"
    run --port SIM:hfm faults
    grep -q "История визитов недоступна" "$work/err" || fail "the damaged database is not reported"
    grep -q "отложена" "$work/err" || fail "the visit was not queued"
    ls "$home"/LOGS/B52*.bin >/dev/null || fail "no exchange log written"
    [[ -s $home/history-queue.jsonl ]] || fail "no queue file"
    # A usable database again: the next session writes the waiting visit first.
    rm "$home/history.sqlite"
    run --port SIM:hfm faults
    grep -q "Отложенные записи внесены в историю: 1" "$work/err" || fail "the queue was not written"
    [[ ! -e $home/history-queue.jsonl ]] || fail "the queue file stayed"
    check_history 'assert len(visits) == 2, visits'
    ;;
*) fail "unknown mode $mode" ;;
esac
