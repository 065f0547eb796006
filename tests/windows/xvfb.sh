#!/usr/bin/env bash
# A virtual X server for the configurator's tests under Wine.
#   xvfb.sh start DISPLAY_NUMBER STATE_DIR    start it (1024x768x24), wait until it answers
#   xvfb.sh stop DISPLAY_NUMBER STATE_DIR     end it
set -uo pipefail
action=$1 number=$2 state=$3
mkdir -p "$state"
pidfile="$state/xvfb-$number.pid"
case "$action" in
start)
    if [ -f "$pidfile" ] && kill -0 "$(cat "$pidfile")" 2>/dev/null; then
        exit 0
    fi
    Xvfb ":$number" -screen 0 1024x768x24 -nolisten tcp </dev/null >"$state/xvfb-$number.log" 2>&1 &
    pid=$!
    echo $pid >"$pidfile"
    for _ in $(seq 100); do
        # The socket alone could be another server's (one that runs on this
        # number already, or a stale file): ours must still be running.
        if ! kill -0 "$pid" 2>/dev/null; then
            rm -f "$pidfile"
            echo "xvfb.sh: Xvfb :$number ended at once (display in use?); see $state/xvfb-$number.log" >&2
            exit 1
        fi
        if [ -e "/tmp/.X11-unix/X$number" ]; then
            sleep 0.3
            kill -0 "$pid" 2>/dev/null && exit 0
        fi
        sleep 0.1
    done
    echo "xvfb.sh: Xvfb :$number did not start; see $state/xvfb-$number.log" >&2
    exit 1
    ;;
stop)
    if [ -f "$pidfile" ]; then
        kill "$(cat "$pidfile")" 2>/dev/null || true
        rm -f "$pidfile"
    fi
    exit 0
    ;;
esac
echo "usage: $0 start|stop DISPLAY_NUMBER STATE_DIR" >&2
exit 2
