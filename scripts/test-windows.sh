#!/usr/bin/env bash
# The Windows leg: installs what is missing, cross-compiles the engine and its
# tests with mingw-w64 and runs them under Wine.
#   scripts/test-windows.sh
# The first run in a build folder also fetches and compiles Boost.Serialization
# (several minutes) and makes a Wine prefix (about 15 s).
set -euo pipefail
cd "$(dirname "$0")/.."

echo "== Windows build (mingw-w64) and tests under Wine =="
scripts/deps.sh
scripts/deps-windows.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2
status=0
# ctest's own time-outs bound each test; this one bounds the whole run, should
# Wine itself misbehave.
timeout -k 30 1800 ctest --preset windows --no-tests=error || status=$?
# The wineserver ends with the last test; make sure nothing of Wine is left.
scripts/wine-run.sh --prefix="$PWD/build/windows/wineprefix" --stop || true
exit "$status"
