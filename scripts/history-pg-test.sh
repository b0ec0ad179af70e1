#!/usr/bin/env bash
# Runs the history's tests against a real PostgreSQL server that this script starts for them and stops
# again: the store tests every back-end shares (history_tests, the PostgreSQL instances), then
# velmora-cli against the server, down and back: a session while the server is down still runs and
# queues its visit, and the next session writes it. Installs what it needs (Debian's postgresql and
# libpq-dev) and builds in build/test as ./test.sh does. Not part of ./test.sh.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if ! dpkg-query -W -f='${Status}' postgresql 2>/dev/null | grep -q 'install ok installed'; then
    sudo_cmd=()
    [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends postgresql >/dev/null
fi
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -n 1)

build=build/test
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DVELMORA_SANITIZE=ON >/dev/null
cmake --build "$build" --target history_tests velmora-cli
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# The server runs as an ordinary user (postgres when this script runs as root), in a folder of its own
# with its socket there and no TCP port.
work=$(mktemp -d)
chmod 755 "$work"
as_server=()
if [ "$(id -u)" -eq 0 ]; then
    as_server=(runuser -u postgres --)
    chown postgres "$work"
fi
data=$work/data
port=$((20000 + RANDOM % 20000))
server() { "${as_server[@]}" "$bin/pg_ctl" -D "$data" -l "$work/server.log" -w "$@" >/dev/null; }
cleanup() {
    server stop -m fast 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
"${as_server[@]}" "$bin/initdb" -D "$data" -A trust -U velmora -E UTF8 >/dev/null
server -o "-k $work -p $port -c listen_addresses=''" start
"${as_server[@]}" "$bin/createdb" -h "$work" -p "$port" -U velmora velmora
connection="host=$work port=$port user=velmora dbname=velmora"

echo "== the store tests on PostgreSQL"
VELMORA_PG_TEST=$connection "$build/tests/history/history_tests" --gtest_filter='*Postgresql*' \
    --gtest_brief=0 | tee "$work/gtest.out"
grep -q "SKIPPED" "$work/gtest.out" && { echo "FAIL: a PostgreSQL test was skipped"; exit 1; }
grep -q "^\[  PASSED  \] [1-9]" "$work/gtest.out" || { echo "FAIL: no PostgreSQL test passed"; exit 1; }

echo "== velmora-cli with the server down and back"
home=$work/home
mkdir -p "$home"
printf '[OPTIONS]\nHISTORY_BACKEND=POSTGRESQL\nHISTORY_PG=%s\n' "$connection" >"$home/velmora.ini"
cli=$build/apps/velmora-cli/velmora-cli
fail() { echo "FAIL: $*"; cat "$work/err"; exit 1; }
"$cli" --home "$home" history --rebuild >/dev/null 2>"$work/err" || fail "history --rebuild"
"$cli" --home "$home" --port SIM:hfm erase >/dev/null 2>"$work/err" || fail "the session with the server up"
server stop -m fast
"$cli" --home "$home" --port SIM:hfm faults >/dev/null 2>"$work/err" || fail "the session with the server down failed"
grep -q "История визитов недоступна" "$work/err" || fail "the server being down was not reported"
[[ -s $home/history-queue.jsonl ]] || fail "the visit was not queued"
server -o "-k $work -p $port -c listen_addresses=''" start
"$cli" --home "$home" --port SIM:hfm --json faults >"$work/out" 2>"$work/err" || fail "the session with the server back"
grep -q "Отложенные записи внесены в историю: 1" "$work/err" || fail "the queued visit was not written"
python3 -c "import json, sys
d = json.load(sys.stdin)
got = {f['code']: [s['erased'] for s in f['seen_before']] for f in d['faults']}
assert got == {7: [True, False], 14: [False, False]}, got" <"$work/out" || fail "seen_before over PostgreSQL"
"$cli" --home "$home" history --json --vin WDB1240921F123 >"$work/out" 2>"$work/err" || fail "history --json"
python3 -c "import json, sys
visits = json.load(sys.stdin)['visits']
assert len(visits) == 3, len(visits)
assert [(f['code'], f['erased']) for f in visits[0]['faults']] == [(7, True), (14, False)], visits[0]" \
    <"$work/out" || fail "history --json over PostgreSQL"
echo "PASSED: the history on PostgreSQL"
