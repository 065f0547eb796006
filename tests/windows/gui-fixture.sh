#!/usr/bin/env bash
# The configurator tests' own Wine prefix on a virtual X server: a prefix whose
# Wine processes (its desktop and tray among them) all know the display.
#   gui-fixture.sh start|stop DISPLAY_NUMBER PREFIX WINE_RUN
set -uo pipefail
action=$1 number=$2 prefix=$3 wine_run=$4
here=$(dirname "$0")
export MW_WINE_DISPLAY=":$number"
case "$action" in
start)
    "$here/xvfb.sh" start "$number" "$prefix.x" || exit 1
    # A Wine left from an earlier run knows an earlier display: end it first.
    "$wine_run" --prefix="$prefix" --stop
    "$wine_run" --prefix="$prefix" --start || exit 1
    # No window manager runs on the virtual display: Wine draws the title bars
    # and frames itself, so that the screenshots show them.
    "$wine_run" --prefix="$prefix" reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f \
        >/dev/null
    ;;
stop)
    "$wine_run" --prefix="$prefix" --stop
    "$here/xvfb.sh" stop "$number" "$prefix.x"
    ;;
*)
    echo "usage: $0 start|stop DISPLAY_NUMBER PREFIX WINE_RUN" >&2
    exit 2
    ;;
esac
