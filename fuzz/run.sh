#!/bin/sh
# Runs one fuzz target over its seed corpus:
#   fuzz/run.sh [--fresh] BINARY NAME WORK_DIR [libFuzzer options...]
# The seeds (fuzz/corpus/NAME) are only read: inputs that reach new code go to
# WORK_DIR/corpus, a crashing input to WORK_DIR/crash-*. --fresh empties
# WORK_DIR/corpus first, so that with -runs and -seed every run tests the same
# inputs on every machine.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
fresh=0
if [ "${1:-}" = --fresh ]; then fresh=1; shift; fi
binary=$1 name=$2 work=$3
shift 3
[ "$fresh" = 1 ] && rm -rf "$work/corpus"
mkdir -p "$work/corpus"
set -- -timeout=10 -print_final_stats=1 -artifact_prefix="$work/" "$@"
[ -f "$here/dict/$name.dict" ] && set -- -dict="$here/dict/$name.dict" "$@"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"
exec "$binary" "$@" "$work/corpus" "$here/corpus/$name"
