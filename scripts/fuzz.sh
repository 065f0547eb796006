#!/usr/bin/env bash
# Runs the fuzz targets (fuzz/) longer than the test run does, keeping what they find:
#   scripts/fuzz.sh [NAME...] [-LIBFUZZER_OPTION...]
#       every target (or the NAMEs) for 10 minutes each unless options say otherwise
#       (-max_total_time=SECONDS, -runs=N, -fork=2, ...). The inputs that reach new
#       code stay in build/fuzz/long/NAME/corpus for the next run; a crash is saved
#       there as crash-* and ends the run with the sanitizer's report.
#   scripts/fuzz.sh --coverage [NAME...]
#       line coverage of the parsers each target reaches with its seeds and with
#       everything the test runs and the longer runs found (a second build with
#       coverage recording, build/fuzz-coverage).
# Names: the folders of fuzz/corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh

coverage=0
names=()
options=()
for arg; do
    case $arg in
    --coverage) coverage=1 ;;
    -*) options+=("$arg") ;;
    *) names+=("$arg") ;;
    esac
done
if ((${#names[@]} == 0)); then
    for dir in fuzz/corpus/*/; do names+=("$(basename "$dir")"); done
fi
for name in "${names[@]}"; do
    [ -d "fuzz/corpus/$name" ] || { echo "No fuzz target $name (see fuzz/corpus)" >&2; exit 2; }
done

if ((coverage)); then
    cmake --preset fuzz-coverage >/dev/null
    cmake --build --preset fuzz-coverage -j"$(nproc)"
    out=build/fuzz-coverage/report
    mkdir -p "$out"
    for name in "${names[@]}"; do
        binary=build/fuzz-coverage/fuzz/fuzz_$name
        inputs=("fuzz/corpus/$name")
        for found in build/fuzz/fuzz/work/$name/corpus build/fuzz/long/$name/corpus; do
            [ -d "$found" ] && inputs+=("$found")
        done
        rm -f "$out/$name".profraw
        # -runs=0: every input once, nothing new.
        LLVM_PROFILE_FILE="$out/$name.profraw" "$binary" -runs=0 "${inputs[@]}" >"$out/$name.log" 2>&1
        llvm-profdata-14 merge -sparse "$out/$name.profraw" -o "$out/$name.profdata"
        echo "== $name: $(find "${inputs[@]}" -type f | wc -l) inputs"
        # The parsers' own files: not the target's, the system's headers or Qt's.
        llvm-cov-14 report "$binary" -instr-profile="$out/$name.profdata" \
            -ignore-filename-regex='^/usr/|/fuzz/(support/)?[^/.][^/]*$' | cut -c1-200
    done
    exit 0
fi

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"
((${#options[@]})) || options=(-max_total_time=600)
for name in "${names[@]}"; do
    echo "== $name"
    fuzz/run.sh "build/fuzz/fuzz/fuzz_$name" "$name" "build/fuzz/long/$name" "${options[@]}"
done
