#!/usr/bin/env bash
# End to end: velmora-cli module against the simulated car in the tool's own process ("SIM",
# "SIMELM:hfm") and against a velmora-sim WiFi ELM327 on loopback TCP (the real socket path), in real
# time. The failure modes must exit 1 with the dialogue's own text.
# usage: cli_module_e2e.sh egas-erase|srs-elm|srs-wifi|silent|sigterm|sighup|wifi-drop|bad-checksum|carsoft
#        VELMORA_SIM VELMORA_CLI
set -euo pipefail
mode=$1 sim=$2 cli=$3
source "$(dirname "$0")/../support/cli_e2e_common.sh"

home="$work/home"
mkdir -p "$home"
run() {
    status=0
    timeout 90 "$cli" --home "$home" "$@" >"$work/out" 2>"$work/err" || status=$?
}
expect() { grep -qF -- "$1" "$work/out" || fail "no line \"$1\""; }

case $mode in
egas-erase)
    # One process is one simulated car: the erase shows in the dialogue's own second fault read.
    run --port SIM module egas --erase
    [[ $status == 0 ]] || fail "exit status $status"
    expect "          Module: E-GAS"
    expect "        Supplier: VDO"
    expect "    2 - Общая неисправность (собирательный код)."
    expect "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"
    expect "Protocol log: $home/LOGS/ISO18001.txt"
    grep -qF "181806003600" "$home/LOGS/ISO18001.txt" || fail "no erase request 18 00 in the protocol log"
    ;;
srs-elm)
    run --port SIMELM:hfm --adapter E module srs --lang en
    [[ $status == 0 ]] || fail "exit status $status"
    expect "          Module: SRS"
    expect "    3 - Ignition (squib) circuit of the airbag or of a belt tensioner"
    expect "Protocol log: $home/LOGS/ISO41001.txt"
    grep -qF "ISOSET41SN1FAC8" "$home/LOGS/ISO41001.txt" || fail "no protocol setup in the protocol log"
    ;;
srs-wifi)
    start_sim --unit hfm --elm --tcp 127.0.0.1:0
    run --port WIFI --adapter E --wifi "$where" module srs --erase
    [[ $status == 0 ]] || fail "exit status $status"
    expect "          Module: SRS"
    expect "Удаление ошибок! ВЫКЛЮЧИ ЗАЖИГАНИЕ И ЖДИ БОЛЕЕ 10 СЕКУНД!"
    # The server's car lives on: a second run finds the memory empty.
    run --port WIFI --adapter E --wifi "$where" module srs
    [[ $status == 0 ]] || fail "second run: exit status $status"
    expect "Память неисправностей пуста!"
    ;;
silent)
    printf '[Unit]\nBase=hfm\n[EGAS]\nSilent=1\n' >"$work/silent.ini"
    run --port "SIM:$work/silent.ini" module egas
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    expect "Пауза 3 секунды"
    grep -qF "velmora-cli module: Модуль E-GAS не найден!" "$work/err" || fail "no reason on stderr"
    [[ -s $home/LOGS/ISO18001.txt ]] || fail "no protocol log"
    ;;
sigterm | sighup)
    # Ended by a signal in the middle: the dialogue stops at its next wait, saves its protocol log and
    # says why, naming the signal.
    # A module at 9600 baud: a cable tries 10400 first, then pauses 3 s, long enough to be sure of it.
    signal=${mode#sig}
    printf '[Unit]\nBase=hfm\n[EGAS]\nBaud=9600\n' >"$work/slow.ini"
    # Started directly (not under timeout, which would pass the signal on to its whole group: a second
    # signal ends the tool at once); the loops below bound the wait instead.
    "$cli" --home "$home" --port "SIM:$work/slow.ini" module egas >"$work/out" 2>"$work/err" &
    cliPid=$!
    for _ in $(seq 600); do
        grep -qF "Пауза 3 секунды" "$work/out" 2>/dev/null && break
        sleep 0.1
    done
    kill "-${signal^^}" "$cliPid"
    for _ in $(seq 600); do
        kill -0 "$cliPid" 2>/dev/null || break
        sleep 0.1
    done
    status=0
    wait "$cliPid" || status=$?
    cliPid=
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    grep -qF "Диагностика остановлена пользователем. (stopped by SIG${signal^^})" "$work/err" ||
        fail "no reason on stderr"
    [[ -s $home/LOGS/ISO18001.txt ]] || fail "no protocol log"
    ;;
wifi-drop)
    # The WiFi peer goes in the middle of the dialogue: the port's own text, and the log all the same.
    start_sim --unit hfm --elm --tcp 127.0.0.1:0
    timeout 90 "$cli" --home "$home" --port WIFI --adapter E --wifi "$where" module srs >"$work/out" \
        2>"$work/err" &
    cliPid=$!
    for _ in $(seq 600); do
        grep -qF "Module: SRS" "$work/out" 2>/dev/null && break
        sleep 0.1
    done
    kill "$simPid"
    wait "$simPid" 2>/dev/null || true
    simPid=
    status=0
    wait "$cliPid" || status=$?
    cliPid=
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    [[ -s $work/err ]] || fail "no reason on stderr"
    [[ -s $home/LOGS/ISO41001.txt ]] || fail "no protocol log"
    ;;
bad-checksum)
    # Every frame of the module fails its sum: nothing of it is taken, the tool says so and fails.
    printf '[Unit]\nBase=hfm\n[SRS]\nWrongChecksumEvery=1\n' >"$work/bad.ini"
    run --port "SIMELM:$work/bad.ini" --adapter E module srs --json
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    grep -qF "Модуль не прислал ни одного кадра с верной контрольной суммой." "$work/err" ||
        fail "no reason on stderr"
    grep -qF '"faults"' "$work/out" && fail "a fault list was printed"
    [[ -s $home/LOGS/ISO41001.txt ]] || fail "no protocol log"
    ;;
carsoft)
    run --port SIM --adapter C module srs
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    grep -qF "velmora-cli module: Диагностика SRS невозможна с выбранным типом адаптера." "$work/err" ||
        fail "no refusal on stderr"
    ;;
*) fail "unknown mode $mode" ;;
esac
echo "velmora-cli module ($mode): ok"
