#!/usr/bin/env bash
# End to end: velmora-cli in the cases where it must not report success, each with the real reason on
# stderr and a non-zero exit, and the language and dictionary cases that must never end a session.
#   lossy       a line that drops every third answer: watch reads no value
#   complement  every command answered with a wrong complement: the link's own failure, not a user stop
#   killsim     velmora-sim on a pseudo-terminal killed during watch: the link's own failure
#   nologs      LOGS cannot be written: watch fails naming the exchange log
#   sigterm     SIGTERM during watch: the connection ends in order (stopped, log written), exit 1
#   act         a command byte outside the actuator channels is refused before connecting
#   erase-old   a unit without the erase command: the tool says so
#   throttle    the Bosch throttle adaptation asked of a VDO unit is refused with the reason
#   noaccess    a device the user may not open: the session and a line function name the cause and the
#               fix, the device once, and the stop gives its reason
#   lostlate    the link lost near the end of a watch: exit 1 with the link's own reason, the line named
#   badline     a line that drops every third answer (trip measures nothing) or every seventh (smooth gets
#               no result): both fail naming the line, not the engine or a user stop
#   norecord    the session's own record cannot be written: ident (exchange log), trip (its daily log)
#               and module (its protocol log) exit 1 saying so
#   language    LANGUAGE=E in velmora.ini translates the session, --lang ru overrides it
#   dictionary  a dictionary that is only a byte-order mark: the session runs, the file stays sound
# usage: cli_failures_e2e.sh MODE VELMORA_SIM VELMORA_CLI
set -euo pipefail
mode=$1 sim=$2 cli=$3
source "$(dirname "$0")/../support/cli_e2e_common.sh"

home="$work/home"
mkdir -p "$home"
profile() { # name, then the profile's lines
    local file="$work/$1.ini"
    shift
    printf '%s\n' "$@" >"$file"
    echo "SIM:$file"
}
# The last line of stderr: the tool's verdict.
verdict() { tail -n 1 "$work/err"; }
run() { # expected exit status, then the arguments
    local want=$1 status=0
    shift
    timeout 150 "$cli" --home "$home" "$@" >"$work/out" 2>"$work/err" || status=$?
    [[ $status == "$want" ]] || fail "exit status $status, wanted $want"
}

case $mode in
lossy)
    run 1 --port "$(profile lossy '[Unit]' 'Base=hfm' '[LineFaults]' 'DropAnswerEvery=3')" watch 0,1 --seconds 4
    [[ ! -s $work/out ]] || fail "values printed"
    verdict | grep -qE '^velmora-cli watch: (no value was read in 4 s|.*Попытки восстановить связь истекли!)' ||
        fail "no reason: $(verdict)"
    ;;
complement)
    run 1 --port "$(profile complement '[Unit]' 'Base=hfm' '[LineFaults]' 'WrongComplementEvery=1')" watch 0,1
    verdict | grep -qF 'Попытки восстановить связь истекли!' || fail "not the link's failure: $(verdict)"
    ! grep -qxF 'Обмен остановлен.' "$work/err" || fail "reported as a user stop"
    ;;
killsim)
    start_sim --unit hfm --pty
    "$cli" --home "$home" --port "$where" watch 0,1 --seconds 30 >"$work/out" 2>"$work/err" &
    cliPid=$!
    for _ in $(seq 300); do
        [[ -s $work/out ]] && break
        sleep 0.1
    done
    [[ -s $work/out ]] || fail "no value before the simulator was killed"
    kill "$simPid"
    wait "$simPid" 2>/dev/null || true
    simPid=
    status=0
    wait "$cliPid" || status=$?
    cliPid=
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    verdict | grep -qE '^velmora-cli watch: the connection ended \(Связь прервана!!! .*StopOnError' ||
        fail "not the link's failure: $(verdict)"
    ! grep -qxF 'Обмен остановлен.' "$work/err" || fail "reported as a user stop"
    ;;
nologs)
    echo "a file where the folder should be" >"$home/LOGS"
    run 1 --port SIM:hfm watch 0 --seconds 1
    [[ -s $work/out ]] || fail "no values"
    verdict | grep -qF 'could not be written completely' || fail "no word of the lost log: $(verdict)"
    [[ $(grep -c 'Не могу записать файл' "$work/err") == 1 ]] || fail "the failure not reported exactly once"
    ;;
sigterm)
    # SIGTERM once 30 values are out: the exchange log holds the request pair of every coolant value
    # shown (0x55, its complement 0xAA, the address 0x00, the value), the last ones included, which stay
    # buffered until the connection ends in order. Counting pairs rather than comparing file sizes keeps
    # the check independent of when the buffer last filled.
    "$cli" --home "$home" --port SIM:hfm watch 0,1 --seconds 60 >"$work/out" 2>"$work/err" &
    cliPid=$!
    for _ in $(seq 600); do
        (($(wc -l <"$work/out") >= 30)) && break
        sleep 0.1
    done
    (($(wc -l <"$work/out") >= 30)) || fail "too few values before the signal"
    kill -TERM "$cliPid"
    status=0
    wait "$cliPid" 2>/dev/null || status=$?
    cliPid=
    [[ $status == 1 ]] || fail "exit status $status, wanted 1"
    grep -qxF 'Обмен остановлен.' "$work/err" || fail "the connection did not end in order"
    verdict | grep -qF 'velmora-cli watch: interrupted' || fail "no reason: $(verdict)"
    shown=$(awk '$2 == 0' "$work/out" | wc -l)
    logged=$(od -An -v -tx1 "$(ls "$home"/LOGS/B52*.bin | head -n 1)" | tr -s ' \n' ' ' | grep -o ' 55 aa 00 ' | wc -l)
    ((logged >= shown)) || fail "$shown coolant values shown, $logged of their pairs in the log"
    ;;
lostlate)
    silent=$(profile silent '[Unit]' 'Base=hfm' '[LineFaults]' 'SilentAfterRequests=150')
    run 1 --port "$silent" watch 1,0 --seconds 4
    verdict | grep -qE '^velmora-cli watch: the connection ended \(Связь прервана!!! .*Попытки восстановить связь истекли![^)]*\); the line is bad' ||
        fail "not the link's failure: $(verdict)"
    run 1 --port "SIMELM:${silent#SIM:}" --adapter E watch 1,0 --seconds 4
    verdict | grep -qE '^velmora-cli watch: the connection ended \(Связь прервана!!! ' ||
        fail "ELM327: not the link's failure: $(verdict)"
    ;;
badline)
    # The link repeats a lost answer, so the trip needs a worse line than the smoothness test to
    # measure nothing at all.
    run 1 --port "$(profile drop3 '[Unit]' 'Base=hfm' '[LineFaults]' 'DropAnswerEvery=3')" trip --seconds 10
    verdict | grep -qE '^velmora-cli trip: nothing was measured: answers were lost on the line.*; the line is bad' ||
        fail "not the line: $(verdict)"
    run 1 --port "$(profile drop7 '[Unit]' 'Base=hfm' '[LineFaults]' 'DropAnswerEvery=7')" smooth
    verdict | grep -qE '^velmora-cli smooth: no result: answers were lost on the line' || fail "not the line: $(verdict)"
    ;;
norecord)
    echo "a file where the folder should be" >"$home/LOGS"
    run 1 --port SIM:hfm ident
    verdict | grep -qF 'velmora-cli ident: the exchange log' || fail "no word of the lost log: $(verdict)"
    ! grep -qF 'Exchange log:' "$work/out" || fail "the lost log is shown as written"
    run 1 --port SIM:hfm module egas
    verdict | grep -qF 'the protocol log could not be written' || fail "no word of the lost protocol: $(verdict)"
    rm "$home/LOGS"
    mkdir -p "$home/LOGS/$(date +bc%y%m%d.txt)" # the day's trip log cannot be a file
    run 1 --port SIM:hfm trip --seconds 2
    grep -qF 'потеряно строк: 1' "$work/err" || fail "the lost lines are not said"
    verdict | grep -qF 'velmora-cli trip: the trip log could not be written' || fail "not the trip log: $(verdict)"
    ;;
act)
    run 2 --port SIM:hfm act 0xF3 0xFF
    grep -qF '0xD0-0xDC' "$work/err" || fail "no reason"
    [[ ! -e $home/LOGS ]] || fail "connected all the same"
    ;;
erase-old)
    run 1 --port "$(profile old '[Unit]' 'Base=hfm' '[Ident]' '1A=35')" erase
    verdict | grep -qF 'velmora-cli erase: Этот блок не поддерживает стирание ошибок!' || fail "no reason: $(verdict)"
    grep -qF ' Доступно: чтение ошибок (стирание этим блоком не поддерживается)' "$work/err" ||
        fail "the start-up line promises an erase"
    ;;
throttle)
    run 1 --port SIM:hfm-vdo adapt throttle
    verdict | grep -qF 'Адаптация дросселя для ЭБУ Bosch недоступна для этого блока!' || fail "no reason: $(verdict)"
    ! grep -qF 'Адаптация дросселя для ЭБУ Bosch: запуск!' "$work/err" || fail "the procedure was started"
    ;;
noaccess)
    start_sim --unit hfm --pty
    # Root opens anything: then the tool runs as nobody, with the device kept to its owner.
    as=()
    if [[ $(id -u) == 0 ]]; then
        as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
        chmod 0600 "$where"
        chmod 0777 "$work" "$home"
    else
        chmod 0 "$where"
    fi
    noRights() { # expected exit status, then the command
        local want=$1 status=0
        shift
        timeout 60 "${as[@]}" "$cli" --home "$home" --port "$where" "$@" >"$work/out" 2>"$work/err" || status=$?
        [[ $status == "$want" ]] || fail "$1: exit status $status, wanted $want"
    }
    # The session: the cause and the fix, the device named once, and the stop with its reason in words.
    noRights 1 watch 0 --seconds 1
    verdict | grep -qF "velmora-cli watch: no connection to the engine unit: Не могу открыть порт $where: нет прав" ||
        fail "not the cause: $(verdict)"
    verdict | grep -qE "usermod -aG|60-velmora-ftdi.rules" || fail "no fix: $(verdict)"
    [[ $(verdict | grep -oF "$where" | wc -l) == 1 ]] || fail "the device named more than once: $(verdict)"
    grep -qF "StopOnError: Не могу открыть порт $where: нет прав" "$work/err" || fail "the stop has no reason"
    ! grep -qE 'StopOnError: *\)?$' "$work/err" || fail "an empty stop reason"
    # A line function says the same.
    noRights 1 slow-codes
    grep -qF "Не могу открыть порт $where: нет прав на доступ к порту" "$work/out" "$work/err" ||
        fail "slow-codes does not name the cause"
    ;;
language)
    printf '[OPTIONS]\r\nLANGUAGE=E\r\n' >"$home/velmora.ini"
    run 0 --port SIM:hfm watch 0 --seconds 1
    grep -qxF 'Exchange stopped.' "$work/err" || fail "LANGUAGE=E not honoured"
    run 0 --lang ru --port SIM:hfm range 0xF0 0x02 0x03
    grep -qxF 'Обмен остановлен.' "$work/err" || fail "--lang ru not honoured"
    ;;
dictionary)
    printf '[OPTIONS]\r\nLANGUAGE=E\r\n' >"$home/velmora.ini"
    mkdir -p "$home/DATA"
    printf '\xEF\xBB\xBF' >"$home/DATA/english.txt"
    run 0 --port SIM:hfm watch 0 --seconds 1
    grep -qxF 'Обмен остановлен.' "$work/err" || fail "the stop line is missing"
    # The texts collected since: pairs of a key and an empty line after the mark, no empty key line.
    first=$(head -n 1 "$home/DATA/english.txt" | tr -d '\r')
    [[ $first == $'\xEF\xBB\xBF'?* ]] || fail "the file starts with an empty key line"
    ! grep -q 'строка с русским текстом пуста' "$work/err" || fail "the tool's own append broke the file"
    ;;
*) fail "unknown mode $mode" ;;
esac
echo "velmora-cli $mode: ok"
