#!/usr/bin/env bash
# Installs what is missing, builds, registers mwservice on this user's session
# bus, starts it through the bus and shows its state.
#   scripts/run.sh        build, register, start, show
#   scripts/run.sh stop   stop the running service (its settings are saved)
set -euo pipefail
cd "$(dirname "$0")/.."

name=org.morrowick.Service
# Where this script keeps the address of a session bus it started itself.
bus_file="${XDG_RUNTIME_DIR:-${TMPDIR:-/tmp}}/morrowick-$(id -u)-session-bus"

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

if [ "${1:-}" = stop ]; then
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
