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
    "$wine_run" --prefix="$prefix" --start
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
