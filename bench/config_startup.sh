#!/usr/bin/env bash
# mwconfig start-up: the time from starting the program to its window being
# shown (the X server's MapNotify), with mwservice already running, median of
# $MW_BENCH_RUNS runs (default 10), printed last. Target: under 300 ms.
#
#   bench/config_startup.sh [BUILD_DIR]
#
# BUILD_DIR holds a build of mwconfig and mwservice (default build/bench-config,
# configured as Release and built here when missing). Needs Xvfb, dbus-daemon,
# busctl and the xcb headers (scripts/deps.sh installs them). Everything runs
# on a private X server and a private session bus in a temporary folder.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/bench-config}
runs=${MW_BENCH_RUNS:-10}

if [[ ! -x $build/config/main/mwconfig || ! -x $build/service/host/mwservice ]]; then
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMW_BUILD_TESTS=OFF >/dev/null
    cmake --build "$build" -j2 --target mwconfig mwservice >/dev/null
fi
mwconfig=$build/config/main/mwconfig
mwservice=$build/service/host/mwservice

work=$(mktemp -d "${TMPDIR:-/tmp}/mwbench.XXXXXX")
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

g++ -O2 -std=c++20 -o "$work/probe" "$root/bench/config_startup_probe.cpp" -lxcb

# A private X server; it picks a free display and names it.
Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
display=:$(head -n1 "$work/display")

# A private session bus that starts mwservice on demand, in a temporary HOME.
mkdir -p "$work/home/.local/state" "$work/home/.config" "$work/activation" "$work/runtime"
chmod 700 "$work/runtime"
printf '[D-BUS Service]\nName=org.morrowick.Service\nExec=%s\n' "$mwservice" \
    >"$work/activation/org.morrowick.Service.service"
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$work/activation</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/><allow own="*"/>
  </policy>
</busconfig>
CONF
export HOME=$work/home XDG_STATE_HOME=$work/home/.local/state XDG_CONFIG_HOME=$work/home/.config
export XDG_RUNTIME_DIR=$work/runtime
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/bus
export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-system-bus
dbus-daemon --nofork --config-file="$work/bus.conf" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -S $work/bus ]] && break; sleep 0.1; done

# The service runs before the first measurement; the system proxy is not read.
busctl --user call org.freedesktop.DBus /org/freedesktop/DBus org.freedesktop.DBus \
    StartServiceByName su org.morrowick.Service 0 >/dev/null
busctl --user set-property org.morrowick.Service /org/morrowick/Config \
    org.morrowick.IConfig ProxySysUsage i 0

# Message boxes, should any appear, are logged instead of waiting for a click.
export MW_MESSAGE_LOG=$work/messages.txt QT_QPA_PLATFORM=xcb DISPLAY=$display
"$work/probe" "$display" "$runs" "$mwconfig"
if [[ -s $work/messages.txt ]]; then
    echo "messages shown during the runs:" >&2
    cat "$work/messages.txt" >&2
fi
