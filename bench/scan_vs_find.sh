#!/usr/bin/env bash
# One scan pass against find on the same generated tree, and the bare system calls
# of the pass as the floor. Usage: bench/scan_vs_find.sh [FILES [FOLDERS]]
# (defaults 200000 and 2000). The tree lives under ${TMPDIR:-/tmp} and is removed.
#
# MW_BENCH_ROUNDS (default 3): each round copies the generated tree afresh for each
# contender and alternates who runs first; the medians are reported.
# MW_BENCH_BYTES (default 4096): the size of each old candidate. The files are
# sparse, so the disk's own cost of freeing blocks (the same for both, and large on
# disks mounted with discard) does not drown the walk being measured.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
files=${1:-200000}
folders=${2:-2000}
rounds=${MW_BENCH_ROUNDS:-3}
build=${MW_BENCH_BUILD:-$top/build/bench}

# Build the bench program (optimised).
cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMW_BUILD_TESTS=OFF -DMW_BUILD_BENCH=ON >/dev/null
cmake --build "$build" --target scan_bench -j2 >/dev/null
bench=$(find "$build" -type f -name scan_bench -perm -u+x | head -n1)

work=$(mktemp -d "${TMPDIR:-/tmp}/mwbench.XXXXXX")
trap 'rm -rf "$work"' EXIT

field() { sed -n "s/.*$1 \([0-9.]*\).*/\1/p" <<<"$2"; }
median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_find() { # find: the same types, older than the same week (10080 minutes), no links
    "$bench" find "$1" -xdev -type f \( -name '*.bak' -o -name '*.dwl' -o -name '*.dwl2' \
        -o -name '*.ac$' -o -name '*.sv$' -o -name '*.bpn' -o -name '*.skb' -o -name '*.fzb' \
        -o -name '*.0*.rvt' -o -name '*.0*.rfa' \) -mmin +10080 -delete
}
run_scan() { rm -f "$work/mwservice.log"; "$bench" scan "$1" "$work/mwservice.log" 2>/dev/null; }
run_floor() { "$bench" floor "$1" 2>/dev/null; }

echo "generating $files files in $folders folders under $work"
"$bench" generate "$work/tree" "$files" "$folders" "${MW_BENCH_BYTES:-4096}"

: >"$work/results"
for round in $(seq 1 "$rounds"); do
    for who in scan find floor; do cp -a "$work/tree" "$work/$who"; done
    sync
    order="scan find floor"
    [ $((round % 2)) -eq 0 ] && order="find scan floor"
    for who in $order; do
        echo "$who $(run_$who "$work/$who")" >>"$work/results"
    done
    left_scan=$(find "$work/scan" -type f | wc -l)
    left_find=$(find "$work/find" -type f | wc -l)
    echo "round $round: files left after scan $left_scan, after find $left_find"
    [ "$left_scan" -eq "$left_find" ] || { echo "scan and find disagree" >&2; exit 1; }
    rm -rf "$work/scan" "$work/find" "$work/floor"
done
log_lines=$(wc -l <"$work/mwservice.log")

# The same pass over a tree a tenth the size: its peak memory must be the same.
rm -rf "$work/tree"
"$bench" generate "$work/small" $((files / 10)) $((folders / 10)) >/dev/null
small_rss=$(field rss_kib "$(run_scan "$work/small")")

stat_of() { grep "^$1 " "$work/results" | while read -r line; do field "$2" "$line"; done | median; }
scan_s=$(stat_of scan seconds); find_s=$(stat_of find seconds); floor_s=$(stat_of floor seconds)
echo "medians of $rounds rounds (the scan's log: $log_lines lines)"
echo "find:  ${find_s} s, peak RSS $(stat_of find rss_kib) KiB"
echo "scan:  ${scan_s} s, peak RSS $(stat_of scan rss_kib) KiB ($((files / 10)) files: $small_rss KiB)"
echo "floor: ${floor_s} s, peak RSS $(stat_of floor rss_kib) KiB (the pass's system calls alone)"
awk -v s="$scan_s" -v f="$find_s" 'BEGIN { printf "scan/find time ratio: %.2f\n", s / f }'
