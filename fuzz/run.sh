#!/bin/sh
# Runs one fuzz target over its seed corpus:
#   fuzz/run.sh [--fresh] BINARY NAME WORK_DIR [libFuzzer options...]
# The seeds (fuzz/corpus/NAME) are only read: inputs that reach new code go to
# WORK_DIR/corpus, a crashing input to WORK_DIR/crash-*.
# --fresh makes a run repeatable: it empties WORK_DIR/corpus first, never reloads
# it during the run (libFuzzer does that once a second by default, so that a
# slower machine would see other inputs), and turns address randomisation off
# (libFuzzer files comparisons under code addresses). With -runs and -seed every
# such run then tests the same inputs, however fast the machine.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
fresh=0
if [ "${1:-}" = --fresh ]; then fresh=1; shift; fi
binary=$1 name=$2 work=$3
shift 3
launch=""
if [ "$fresh" = 1 ]; then
    rm -rf "$work/corpus"
    set -- -reload=0 "$@"
    setarch "$(uname -m)" -R true 2>/dev/null && launch="setarch $(uname -m) -R"
fi
mkdir -p "$work/corpus"
set -- -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "$@"
[ -f "$here/dict/$name.dict" ] && set -- -dict="$here/dict/$name.dict" "$@"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
exec $launch "$binary" "$@" "$work/corpus" "$here/corpus/$name"
