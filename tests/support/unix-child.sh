#!/bin/sh
# Runs a Linux program for a test process under Wine, which can start Linux programs
# but gets no handle to them: this script reports what a handle would.
#   unix-child.sh CONTROL_DIR PROGRAM [ARGS...]
# CONTROL_DIR receives "pid" (to signal it), "out" and "err" (its streams) and, once it
# has ended, "status" (its exit status, 128 + signal when killed). The program never
# outlives 10 minutes, so a test process that dies cannot leave it running for ever.
ctl=$1
# Nothing of the test's own streams stays open here (ctest waits for every holder).
exec </dev/null >/dev/null 2>>"$ctl/script.err"
shift
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
timeout -k 5 600 "$@" </dev/null >"$ctl/out" 2>"$ctl/err" &
child=$!
echo "$child" >"$ctl/pid.tmp" && mv "$ctl/pid.tmp" "$ctl/pid"
wait "$child"
echo "$?" >"$ctl/status.tmp" && mv "$ctl/status.tmp" "$ctl/status"
