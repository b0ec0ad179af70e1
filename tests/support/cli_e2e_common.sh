# Sourced by the end-to-end scripts of the command-line tool: a work folder that is removed at exit,
# together with a velmora-sim server the script may have started (its pid in simPid), and fail(), which
# ends the script showing what the tools printed (out, err) and what the server said (sim.err).
work=$(mktemp -d)
simPid=
cleanup() {
    if [[ -n $simPid ]]; then
        kill "$simPid" 2>/dev/null || true
        wait "$simPid" 2>/dev/null || true
    fi
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
