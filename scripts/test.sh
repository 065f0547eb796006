#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   scripts/test.sh            all of it: the debug build's tests, the Debian package
#                              and its check, the engine built for Windows under Wine
#   scripts/test.sh PRESET     one preset only: debug, release, asan, package or windows
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-all}"
[ "$preset" = windows ] && exec scripts/test-windows.sh
scripts/deps.sh
if [ "$preset" = all ]; then
    scripts/build.sh debug
    ctest --preset debug --no-tests=error
    # The .deb is built from an optimised tree and checked.
    scripts/build.sh package
    ctest --preset package --no-tests=error
    exec scripts/test-windows.sh
fi
scripts/build.sh "$preset"
ctest --preset "$preset" --no-tests=error
