#!/usr/bin/env bash
# End to end: velmora-cli ident against a velmora-sim server, over a pseudo-terminal (the real termios
# path) or as a WiFi ELM327 on loopback TCP (the real socket path).
# "silent" serves a unit that never wakes: the tool must fail with the reason. "elm-as-kkl" needs no server:
# the simulated ELM327 in the tool's own process, read pair by pair as a KKL cable reads.
# usage: cli_ident_e2e.sh pty|silent|wifi|wifi-settings|elm-as-kkl VELMORA_SIM VELMORA_CLI
set -euo pipefail
mode=$1 sim=$2 cli=$3
source "$(dirname "$0")/../support/cli_e2e_common.sh"

where=
case $mode in
pty) start_sim --unit hfm --pty --strict ;;
silent)
    printf '[Unit]\nBase=hfm\nBreakMinMs=300\n' >"$work/silent.ini"
    start_sim --unit "$work/silent.ini" --pty --strict
    ;;
wifi | wifi-settings) start_sim --unit pms-bosch --elm --tcp 127.0.0.1:0 ;;
elm-as-kkl) ;;
*) fail "unknown mode $mode" ;;
esac

home="$work/home"
mkdir -p "$home"
case $mode in
pty | silent) args=(--port "$where") ;;
wifi) args=(--port WIFI --adapter E --wifi "$where") ;;
wifi-settings)
    printf '[OPTIONS]\r\nWIFI_IP=%s\r\nWIFI_PORT=%s\r\n' "${where%:*}" "${where##*:}" >"$home/velmora.ini"
    args=(--port WIFI --adapter E)
    ;;
elm-as-kkl) args=(--port SIMELM:hfm --adapter E --elm-as-kkl) ;;
esac

status=0
timeout 60 "$cli" --home "$home" "${args[@]}" ident >"$work/out" 2>"$work/err" || status=$?
if [[ $mode == silent ]]; then
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    grep -qF "ОШИБКА! ECU не отвечает!" "$work/out" || fail "no verdict in the log"
    grep -qF "velmora-cli ident: ОШИБКА! ECU не отвечает!" "$work/err" || fail "no reason on stderr"
    echo "velmora-cli ident ($mode): ok"
    exit 0
fi
[[ $status == 0 ]] || fail "exit status $status"

expect() { grep -qF -- "$1" "$work/out" || fail "no line \"$1\""; }
case $mode in
pty)
    expect "Принято (ответ): 85"
    expect "System: HFM"
    expect "Diagnosis index: 52/01"
    expect "VIN: WDB124 09 21F123"
    log="$home/LOGS/B52001.bin"
    ;;
wifi | wifi-settings)
    expect "WIFI connect to $where"
    expect "System: PMS"
    expect "Diagnosis index: 45/00"
    log="$home/LOGS/B45001.bin"
    ;;
elm-as-kkl)
    expect "System: HFM"
    expect "Diagnosis index: 52/01"
    expect "VIN: WDB124 09 21F123"
    log="$home/LOGS/B52001.bin"
    ;;
esac
expect "Exchange log: $log"
[[ -s $log ]] || fail "no exchange log $log"
if [[ $mode == elm-as-kkl ]]; then
    # The trace beside the exchange log keeps the adapter's text: its reset, the engine connection on the
    # K-line ("BUS INIT") and the identification read as single request pairs; no KKL wake-up of our own.
    # The exchange log itself holds only the bytes of the pairs.
    trace="${log%.bin}_elm.txt"
    text=$(tr -c '[:print:]\n' '\n' <"$trace")
    for line in "ms: ATZ" "ms: HFMCONNECT" "BUS INIT: ...OK" "ms: HFMDATAF000" "RF00027"; do
        grep -qF -- "$line" <<<"$text" || fail "no \"$line\" in the adapter's trace"
    done
    ! grep -qaF "HFMDATA" "$log" || fail "adapter text in the exchange log"
    [[ ! -e $home/LOGS/tmp001.bin ]] || fail "the identification went into tmp001.bin"
    ! grep -qF "Принято (ответ)" "$work/out" || fail "a KKL wake-up instead of the adapter's"
    # The option's own effect shows once parameters are read: the engine speed (command 0x55, bytes 1
    # and 2) as pairs "HFMDATA5501"/"HFMDATA5502", never as the adapter's table read "9501".
    rm -rf "$home/LOGS"
    status=0
    # Two seconds: the fault memory, read twice at the start, comes first.
    timeout 60 "$cli" --home "$home" "${args[@]}" watch 1 --seconds 2 >"$work/out" 2>"$work/err" || status=$?
    [[ $status == 0 ]] || fail "watch: exit status $status"
    grep -qE '^ +[0-9]+ +1 7[0-4][0-9]$' "$work/out" || fail "watch: no idle speed value"
    text=$(tr -c '[:print:]\n' '\n' <"$trace")
    grep -qF "ms: HFMDATA5501" <<<"$text" || fail "the engine speed was not read pair by pair"
    ! grep -qF "ms: 9501" <<<"$text" || fail "the engine speed was read through the adapter's table"
fi
echo "velmora-cli ident ($mode): ok"
