# Sourced by the end-to-end scripts of the command-line tool: a work folder that is removed at exit,
# together with a velmora-sim server and a velmora-cli the script may have started in the background
# (their pids in simPid and cliPid), fail(), which ends the script showing what the tools printed (out,
# err) and what the server said (sim.err), and start_sim, which starts the server and learns its address.
work=$(mktemp -d)
simPid=
cliPid=
cleanup() {
    local pid
    for pid in $cliPid $simPid; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    local name
    for name in out err sim.err; do
        if [[ -s $work/$name ]]; then
            echo "--- $name:"
            cat "$work/$name"
        fi
    done
    exit 1
}

# Starts "$sim" with the given arguments in the background and sets `where` to the address it prints on
# its first line (10 s at most).
start_sim() {
    "$sim" "$@" >"$work/sim.out" 2>"$work/sim.err" &
    simPid=$!
    where=
    for _ in $(seq 100); do
        where=$(head -n 1 "$work/sim.out" 2>/dev/null || true)
        [[ -n $where ]] && break
        kill -0 "$simPid" 2>/dev/null || fail "velmora-sim ended before it listened"
        sleep 0.1
    done
    [[ -n $where ]] || fail "velmora-sim printed no address"
}
