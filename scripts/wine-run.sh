#!/usr/bin/env bash
# Runs a Windows program of the build under Wine (CMake's cross-compiling emulator).
#   wine-run.sh [--prefix=DIR] PROGRAM [ARGS...]   run it; the exit status is the program's
#   wine-run.sh [--prefix=DIR] --start             make the prefix, start the wineserver
#   wine-run.sh [--prefix=DIR] --stop              end the wineserver and what runs in it
# The prefix defaults to $WINEPREFIX, else ~/.wine.
#
# Why a wrapper: a wineserver started by the first Wine program inherits that
# program's standard streams, and ctest waits until every holder of its pipes has
# closed them, so a lingering server stalls each test for seconds (or for good with
# -p). Here the server is started first, with its streams on /dev/null, and kept
# for a minute after its last program, so later programs start at once. Every Wine
# call has a time-out, so a misbehaving Wine cannot hang a build or a test run.
set -uo pipefail

prefix="${WINEPREFIX:-$HOME/.wine}"
case "${1:-}" in
--prefix=*)
    prefix="${1#--prefix=}"
    shift
    ;;
esac
[ $# -gt 0 ] || { echo "usage: $0 [--prefix=DIR] PROGRAM [ARGS...] | --start | --stop" >&2; exit 2; }

export WINEPREFIX="$prefix"
export WINEDEBUG="${MW_WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY WAYLAND_DISPLAY # no window may wait for a click
# The GUI tests' prefix has a virtual X server of its own (tests/windows/xvfb.sh).
if [ -n "${MW_WINE_DISPLAY:-}" ]; then
    export DISPLAY="$MW_WINE_DISPLAY"
fi

boot_timeout="${MW_WINE_BOOT_TIMEOUT:-300}"
run_timeout="${MW_WINE_TIMEOUT:-900}"

start_server() {
    mkdir -p "$WINEPREFIX"
    # One caller at a time makes the prefix; the others wait for it.
    exec 9>"$WINEPREFIX/.mw-start.lock"
    flock -w "$boot_timeout" 9 || { echo "wine-run: prefix lock timed out" >&2; return 1; }
    # Exit status 0: a new server (2: one runs already). Wine's own background
    # programs (services, devices) then start with the first program and would
    # hold that program's streams: start them here, on the log file.
    timeout 30 wineserver -p60 </dev/null >/dev/null 2>&1 9>&-
    local started=$?
    if [ "$started" = 0 ] || [ ! -f "$WINEPREFIX/.mw-booted" ]; then
        local boot=(wineboot)
        [ -f "$WINEPREFIX/.mw-booted" ] || boot=(wineboot -i)
        if ! timeout -k 10 "$boot_timeout" wine "${boot[@]}" </dev/null >"$WINEPREFIX/.mw-boot.log" 2>&1 9>&-; then
            echo "wine-run: ${boot[*]} failed or timed out; see $WINEPREFIX/.mw-boot.log" >&2
            exec 9>&-
            return 1
        fi
        touch "$WINEPREFIX/.mw-booted"
        if [ "${boot[1]:-}" = -i ]; then
            # Making a prefix leaves a second service manager running beside the
            # first, and a service installed through one is unknown to the other
            # (the service tests then wait for ever): Wine starts once more, with
            # one set of its own services.
            timeout 30 wineserver -k </dev/null >/dev/null 2>&1 9>&-
            timeout 30 wineserver -w </dev/null >/dev/null 2>&1 9>&-
            timeout 30 wineserver -p60 </dev/null >/dev/null 2>&1 9>&-
            if ! timeout -k 10 "$boot_timeout" wine wineboot </dev/null >>"$WINEPREFIX/.mw-boot.log" 2>&1 9>&-; then
                echo "wine-run: wineboot after making the prefix failed or timed out; see $WINEPREFIX/.mw-boot.log" >&2
                exec 9>&-
                return 1
            fi
        fi
    fi
    exec 9>&-
}

case "$1" in
--start)
    start_server
    exit $?
    ;;
--stop)
    [ -d "$WINEPREFIX" ] || exit 0
    timeout 30 wineserver -k </dev/null >/dev/null 2>&1
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1
    exit 0
    ;;
esac

start_server || exit 1
started_ns=$(date +%s%N)
timeout -k 10 "$run_timeout" wine "$@"
status=$?
if [ "$status" != 0 ]; then
    # A failure says how it ended: a program Wine could not start at all ends in
    # a few milliseconds and prints nothing of its own.
    echo "wine-run: $1 ended with status $status after $((($(date +%s%N) - started_ns) / 1000000)) ms" >&2
fi
exit "$status"
