#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: scripts/test.sh [debug|release|asan|windows]
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-debug}"
[ "$preset" = windows ] && exec scripts/test-windows.sh
scripts/deps.sh
scripts/build.sh "$preset"
ctest --preset "$preset" --no-tests=error
