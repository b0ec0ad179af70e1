#!/usr/bin/env bash
# End to end: a watch through the simulated ELM327 on WiFi (velmora-sim on TCP) records its values as
# CSV; the conversion of the session's exchange log must find the same values in the same order.
# usage: cli_convert_wifi_e2e.sh VELMORA_SIM VELMORA_CLI
set -euo pipefail
sim=$1 cli=$2
source "$(dirname "$0")/../support/cli_e2e_common.sh"

start_sim --unit hfm --elm --tcp 127.0.0.1:0
home="$work/home"
mkdir -p "$home"
timeout 60 "$cli" --home "$home" --port WIFI --adapter E --wifi "$where" watch 0,1,3 --seconds 3 \
    --csv "$work/live.csv" >"$work/out" 2>"$work/err" || fail "watch failed"
timeout 60 "$cli" --home "$home" convert "$home/LOGS" --csv >"$work/out" 2>"$work/err" || fail "convert failed"
converted=$(ls "$home"/LOGS/*.csv)
# number, name, value and unit of the watched parameters, in order (the first column differs: time, pair)
values() { tail -n +2 "$1" | cut -d, -f2- | grep -E '^(0|1|3),' || true; }
[[ $(values "$work/live.csv" | wc -l) -ge 10 ]] || fail "too few live values"
diff <(values "$work/live.csv") <(values "$converted") >"$work/err" || fail "converted values differ from the live ones"
echo OK
