#!/usr/bin/env bash
# Runs the Windows build (scripts/windows-build.sh) under Wine, headless: the core's unit tests, then the
# end-to-end checks of the Windows code paths against the simulated car:
#   SIM     velmora-cli.exe --port SIM faults (the car in the tool's own process);
#   COM     a Linux velmora-sim on a pseudo-terminal, mapped to COM5 in Wine's device folder, and
#           velmora-cli.exe --port COM5 ident through the Windows serial API;
#   WIFI    a Linux velmora-sim as a WiFi ELM327 on loopback TCP, velmora-cli.exe on Winsock;
#   SIMEXE  velmora-sim.exe serving TCP under Wine, velmora-cli.exe connecting to it.
# Usage: scripts/windows-test.sh [--e2e-only | --unit-only]
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
build="$root/build/windows"
[ -x "$build/apps/velmora-cli/velmora-cli.exe" ] || scripts/windows-build.sh
# One server for all the runs below, not one per program, set up before the first (its diagnostics are not
# ours to show) and ended with the script: scripts/windows-wine.sh.
source "$root/scripts/windows-wine.sh"
wine_env "$build/wineprefix"

work="$(mktemp -d)"
simPid=
cleanup() {
    [ -n "$simPid" ] && kill "$simPid" 2>/dev/null && wait "$simPid" 2>/dev/null
    rm -f "$WINEPREFIX/dosdevices/com5"
    rm -rf "$work"
    wine_down
}
trap cleanup EXIT
wine_up "$build/wineprefix"
failures=0
passed=0
check() { # name, then the command; its output goes to $work/<name>.out
    local name=$1
    shift
    if "$@" >"$work/$name.out" 2>&1; then
        echo "ok: $name"
        passed=$((passed + 1))
    else
        echo "FAILED: $name"
        sed 's/^/    /' "$work/$name.out" | tail -n 30
        failures=$((failures + 1))
    fi
}

if [ "${1:-}" != --e2e-only ]; then
    # The shell end-to-end scripts start Linux processes: they belong to the Linux build.
    check unit-tests ctest --test-dir "$build" -E 'e2e' -j2 --output-on-failure
    # CTest's summary: its list of skipped tests would hide it from a plain tail.
    grep -E 'tests passed|tests failed out of|Total Test time' "$work/unit-tests.out" || true
fi
[ "${1:-}" == --unit-only ] && { echo "$passed passed, $failures failed"; exit $((failures > 0)); }

cli="$build/apps/velmora-cli/velmora-cli.exe"
simExe="$build/apps/velmora-sim/velmora-sim.exe"
# The Linux simulator for the serial and WiFi checks: a small build of its own, brought up to date on
# every run (its output shown only when it fails).
linuxBuild="$root/build/windows-linux-sim"
linuxSim="$linuxBuild/apps/velmora-sim/velmora-sim"
if ! { cmake -S "$root" -B "$linuxBuild" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_GUI=OFF \
    -DVELMORA_TESTS=OFF -DVELMORA_BENCH=OFF && cmake --build "$linuxBuild" --target velmora-sim; } \
    >"$work/linux-sim-build.log" 2>&1; then
    cat "$work/linux-sim-build.log" >&2
    echo "windows-test: the Linux simulator did not build" >&2
    exit 1
fi

# Starts a server in the background and sets $where to the first line it prints (20 s at most).
serve() {
    "$@" >"$work/sim.out" 2>"$work/sim.err" &
    simPid=$!
    where=
    for _ in $(seq 200); do
        # A whole line only: the server may be caught half way through printing it.
        if [ "$(wc -l <"$work/sim.out")" -ge 1 ]; then
            where=$(head -n 1 "$work/sim.out" | tr -d '\r')
            return 0
        fi
        kill -0 "$simPid" 2>/dev/null || break
        sleep 0.1
    done
    echo "the server printed no address:" >&2
    cat "$work/sim.err" >&2
    return 1
}
stop_server() {
    kill "$simPid" 2>/dev/null || true
    wait "$simPid" 2>/dev/null || true
    simPid=
}
# Runs velmora-cli.exe with a program folder of its own and looks for every expected line.
cli_expect() { # home, expected lines..., --, cli arguments...
    local home=$1
    shift
    local expected=()
    while [ "$1" != -- ]; do
        expected+=("$1")
        shift
    done
    shift
    mkdir -p "$home"
    local status=0
    timeout 120 wine "$cli" --home "$(winepath -w "$home")" "$@" >"$home/out" 2>"$home/err" || status=$?
    cat "$home/out" "$home/err"
    [ "$status" = 0 ] || { echo "exit status $status"; return 1; }
    for line in "${expected[@]}"; do
        grep -qF -- "$line" "$home/out" || { echo "no line \"$line\""; return 1; }
    done
}

sim_faults() {
    cli_expect "$work/sim-home" "007,  Сохраненный,  Датчик температуры всасываемого воздуха B17: обрыв цепи" -- \
        --port SIM faults
}
check sim-faults sim_faults

com5_ident() {
    # --strict: the simulated unit takes the ninth bit only from the line settings, so mark and space
    # parity must come through Wine's DCB-to-termios translation.
    serve "$linuxSim" --unit hfm --pty --strict || return 1
    ln -sfn "$where" "$WINEPREFIX/dosdevices/com5"
    cli_expect "$work/com5-home" "System: HFM" "Diagnosis index: 52/01" "VIN: WDB124 09 21F123" -- --port COM5 ident
    local status=$?
    stop_server
    return $status
}
check com5-ident com5_ident

wifi_ident() {
    serve "$linuxSim" --unit pms-bosch --elm --tcp 127.0.0.1:0 || return 1
    cli_expect "$work/wifi-home" "WIFI connect to $where" "System: PMS" "Diagnosis index: 45/00" -- \
        --port WIFI --adapter E --wifi "$where" ident
    local status=$?
    stop_server
    return $status
}
check wifi-ident wifi_ident

simexe_ident() {
    serve wine "$simExe" --unit pms-bosch --elm --tcp 127.0.0.1:0 || return 1
    cli_expect "$work/simexe-home" "System: PMS" "Diagnosis index: 45/00" -- --port WIFI --adapter E --wifi "$where" ident
    local status=$?
    stop_server
    return $status
}
check simexe-ident simexe_ident

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
