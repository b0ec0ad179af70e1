#!/usr/bin/env bash
# Sourced by scripts/windows-build.sh and scripts/windows-test.sh: the build's own Wine prefix, set up and
# with its server running before any Windows program runs under CTest, and stopped when the script ends.
#
# Why beforehand: the first Wine program in a new prefix sets the prefix up and starts Wine's server and its
# system processes (services.exe, winedevice.exe, explorer.exe, ...). Under the test discovery after a
# link, that first program exits 1 without a word; under CTest, the system processes inherit the test's
# output pipe and CTest waits for it to close until the test's timeout. So the prefix is made here, the
# server kept up (not shut down between two programs) with every output of theirs in a log beside the
# prefix, and the programs run by CTest find everything running.

# Wine's settings for every program below: the prefix, no debug channels, no .NET or browser installer
# prompts; console programs need no display.
wine_env() { # prefix folder
    export WINEPREFIX="$1" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    unset DISPLAY WAYLAND_DISPLAY
}

# Makes the prefix (or brings it up to date) and starts its server and system processes, to stay until
# wine_down. A server left running by an earlier run that was cut short is ended first: it may be one
# that shuts down by itself in the middle of the tests.
wine_up() { # prefix folder
    wine_env "$1"
    wineLog="$(dirname "$WINEPREFIX")/wineprefix.log"
    mkdir -p "$WINEPREFIX"
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
    : >"$wineLog"
    if ! wineserver --persistent </dev/null >>"$wineLog" 2>&1 ||
        ! wineboot --init </dev/null >>"$wineLog" 2>&1; then
        cat "$wineLog" >&2
        echo "$(basename "$0"): the Wine prefix $WINEPREFIX could not be set up (log: $wineLog)" >&2
        wine_down
        return 1
    fi
}

# Ends the server and every Wine process of the prefix, and waits for them to be gone.
wine_down() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    wineserver -w </dev/null >/dev/null 2>&1 || true
}
