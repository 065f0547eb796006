#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test:
#   scripts/test.sh            all of it: the debug build's tests, the fuzz targets'
#                              short runs, the Debian package and its check, the
#                              engine built for Windows under Wine
#   scripts/test.sh PRESET     one preset only: debug, release, asan, fuzz, package or windows
# The tests that read the clock (label "clock") run once more in each of two
# time zones 25 hours apart, so that the local date and hour differ by a whole
# day between the runs: a test that holds only at some hours fails at once.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-all}"
[ "$preset" = windows ] && exec scripts/test-windows.sh
scripts/deps.sh

run_tests() {
    ctest --preset "$1" --no-tests=error
    for zone in Pacific/Kiritimati Pacific/Pago_Pago; do
        echo "== Tests that read the clock, TZ=$zone =="
        TZ=$zone ctest --preset "$1" --no-tests=error -L clock
    done
}

run_fuzz() {
    # Each target a fixed number of runs from a fixed seed (fuzz/CMakeLists.txt),
    # two at a time.
    ctest --preset fuzz --no-tests=error -j"$(nproc)"
}

if [ "$preset" = all ]; then
    scripts/build.sh debug
    run_tests debug
    scripts/build.sh fuzz
    run_fuzz
    # The .deb is built from an optimised tree and checked.
    scripts/build.sh package
    ctest --preset package --no-tests=error
    exec scripts/test-windows.sh
fi
scripts/build.sh "$preset"
if [ "$preset" = package ]; then
    ctest --preset package --no-tests=error
elif [ "$preset" = fuzz ]; then
    run_fuzz
else
    run_tests "$preset"
fi
