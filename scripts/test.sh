#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: scripts/test.sh [debug|release|asan|windows]
# (debug, the default, also builds and checks the Debian package)
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"
[ "$preset" = windows ] && exec scripts/test-windows.sh
scripts/deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset" --no-tests=error
# The full run (the default) also builds the .deb from an optimised tree and checks it.
if [ "$preset" = debug ]; then
    scripts/build.sh package
    ctest --preset package --no-tests=error
fi
