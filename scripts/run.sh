#!/usr/bin/env bash
# Installs what is missing, builds, registers mwservice on this user's session
# bus, starts it through the bus, shows its state, and starts the configurator.
#   scripts/run.sh        build, register, start, show; then mwconfig: in the tray
#                         on a desktop, or on a virtual X server without one, where
#                         it saves a picture of each tab and ends again
#   scripts/run.sh stop   stop what it started (the configurator, the service)
set -euo pipefail
cd "$(dirname "$0")/.."

name=org.morrowick.Service
# Where this script keeps the address of a session bus it started itself.
bus_file="${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/morrowick-$(id -u)-session-bus"
# Where it keeps the pid of the configurator it started on a desktop.
config_pid_file="${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/morrowick-$(id -u)-mwconfig.pid"

bus_alive() {
    [ -n "${DBUS_SESSION_BUS_ADDRESS:-}" ] &&
        busctl --address="$DBUS_SESSION_BUS_ADDRESS" status org.freedesktop.DBus >/dev/null 2>&1
}

# The session bus: the caller's, else the one at $XDG_RUNTIME_DIR/bus, else one
# this script started earlier, else a new one that outlives the script.
find_or_start_bus() {
    bus_alive && return 0
    if [ -n "${XDG_RUNTIME_DIR:-}" ] && [ -S "$XDG_RUNTIME_DIR/bus" ]; then
        export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
        bus_alive && return 0
    fi
    if [ -r "$bus_file" ]; then
        export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$bus_file")"
        bus_alive && return 0
    fi
    [ "${1:-}" = start ] || return 1
    dbus-daemon --session --fork --print-address=1 --print-pid=1 >"$bus_file.new" 2>/dev/null </dev/null
    mv "$bus_file.new" "$bus_file"
    export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$bus_file")"
    echo "Started a session bus (pid $(sed -n 2p "$bus_file")) at $DBUS_SESSION_BUS_ADDRESS"
}

bus() { busctl --address="$DBUS_SESSION_BUS_ADDRESS" "$@"; }

service_pid() {
    bus call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus \
        GetConnectionUnixProcessID s "$name" 2>/dev/null | awk '{print $2}'
}

stop_configurator() {
    [ -r "$config_pid_file" ] || return 0
    local pid
    pid="$(cat "$config_pid_file")"
    rm -f "$config_pid_file"
    if kill -0 "$pid" 2>/dev/null && grep -q mwconfig "/proc/$pid/cmdline" 2>/dev/null; then
        kill -TERM "$pid"
        for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        echo "Stopped mwconfig (pid $pid); its settings were saved."
    fi
}

if [ "${1:-}" = stop ]; then
    stop_configurator
    if ! find_or_start_bus || [ -z "$(service_pid)" ]; then
        echo "mwservice is not running on a session bus known here."
        exit 0
    fi
    pid="$(service_pid)"
    kill -TERM "$pid"
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    echo "Stopped mwservice (pid $pid); its settings are saved."
    exit 0
fi

scripts/deps.sh
scripts/build.sh debug
program="$PWD/build/debug/service/host/mwservice"
configurator="$PWD/build/debug/config/main/mwconfig"

find_or_start_bus start
"$program" -RegServerPerUser

# The first call starts the service.
bus get-property "$name" /org/morrowick/Morrowick org.morrowick.IMorrowick ActivityState >/dev/null
pid="$(service_pid)"
log_dir="$(bus get-property "$name" /org/morrowick/Morrowick org.morrowick.IMorrowick UndeletedLog |
    sed -e 's/^s "//' -e 's/"$//' -e 's|/[^/]*$||')"

echo
echo "mwservice $("$program" --version | awk '{print $2}') runs as pid $pid on the session bus as $name."
echo
echo "Engine (busctl --address=\$DBUS_SESSION_BUS_ADDRESS introspect $name /org/morrowick/Morrowick):"
bus introspect "$name" /org/morrowick/Morrowick org.morrowick.IMorrowick
echo
echo "Settings:"
bus introspect "$name" /org/morrowick/Config org.morrowick.IConfig
cat <<EOF

State directory: $log_dir
  settings.mwk    the settings, saved when the service stops
  mwservice.log   the log (written in 4 KiB blocks, after each scan and at stop)
  undeleted.tmp   the files the last scan could not delete

Use the same bus in your shell:
  export DBUS_SESSION_BUS_ADDRESS='$DBUS_SESSION_BUS_ADDRESS'
Try it:
  busctl --user set-property $name /org/morrowick/Config org.morrowick.IConfig ScanFolder s "\$HOME/drawings"
  busctl --user set-property $name /org/morrowick/Config org.morrowick.IConfig FileTypes s .bak,.dwl
  busctl --user call $name /org/morrowick/Morrowick org.morrowick.IMorrowick scanNow
Stop it:        scripts/run.sh stop      (or: kill $pid)
Unregister it:  $program -UnregServerPerUser
EOF

# The configurator, the user's window onto the service.
echo
configurator_up() { bus status org.morrowick.Configurator >/dev/null 2>&1; }
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    if configurator_up; then
        # A second start shows the running one's window and ends.
        "$configurator" >/dev/null 2>&1 || true
        echo "mwconfig was running already; its window is shown."
    else
        setsid "$configurator" </dev/null >/dev/null 2>&1 &
        echo $! >"$config_pid_file"
        for _ in $(seq 100); do configurator_up && break; sleep 0.1; done
        if ! configurator_up; then
            echo "mwconfig did not come up; run $configurator to see why." >&2
            exit 1
        fi
        echo "mwconfig runs as pid $(cat "$config_pid_file"): its window \"Morrowick\" is shown and its icon is in the tray."
    fi
else
    # No display: a virtual X server for one run that saves a picture of each
    # tab and of the proxy dialog, then ends.
    pictures="$PWD/build/screenshots/run"
    rm -rf "$pictures"
    display_file="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
    xvfb_pid=$!
    trap 'kill "$xvfb_pid" 2>/dev/null || true; rm -f "$display_file"' EXIT
    for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
    display_number="$(head -n1 "$display_file")"
    [ -n "$display_number" ] || { echo "Xvfb did not start" >&2; exit 1; }
    echo "No display: mwconfig runs on a virtual X server (:$display_number) and takes pictures."
    DISPLAY=":$display_number" QT_QPA_PLATFORM=xcb "$configurator" --screenshots="$pictures"
    echo
    echo "mwconfig connected to mwservice, showed each tab and ended. Its pictures:"
    ls -1 "$pictures"/*.png | sed 's/^/  /'
fi
