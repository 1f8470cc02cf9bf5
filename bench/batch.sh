#!/usr/bin/env bash
# Batch throughput: pivotta-cli -j 2 over COPIES copies of the 12-megapixel bench photo against
# xargs -P2 running one jpegtran -copy all per file, both rotating by 90 degrees into a fresh
# folder. Prints the median wall times of RUNS alternating runs and their ratio.
#
#   bench/batch.sh                   COPIES=40 RUNS=5
#   JOBS=4 bench/batch.sh            -j 4 against xargs -P4
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME
cd "$(dirname "$0")/.."
source bench/inputs.sh

COPIES=${COPIES:-40}
RUNS=${RUNS:-5}
JOBS=${JOBS:-2}
require_tools batch.sh cmake cjpeg jpegtran exiftool
echo "Building Release in $bench_build/ ..."
build_bench make_photo pivotta-cli
scratch=$(mktemp -d "${TMPDIR:-/tmp}/pivotta-batch.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

make_input "$scratch" photo 4000 3000 2x1 1 120 94 plain
mkdir -p "$scratch/in" "$scratch/ours" "$scratch/theirs"
for ((i = 1; i <= COPIES; i++)); do cp "$scratch/photo.jpg" "$scratch/in/photo-$i.jpg"; done

# elapsed COMMAND...: the command's wall time in microseconds.
elapsed() {
    local start=$EPOCHREALTIME
    "$@"
    local end=$EPOCHREALTIME
    echo $((${end/./} - ${start/./}))
}
ours() { "$bench_build/bin/pivotta-cli" -j "$JOBS" -r 90 -o "$scratch/ours" "$scratch"/in/*.jpg; }
theirs() {
    printf '%s\0' "$scratch"/in/*.jpg |
        xargs -0 -P "$JOBS" -I{} sh -c 'jpegtran -copy all -rotate 90 -outfile "$1/$(basename "$2")" "$2"' _ \
            "$scratch/theirs" {}
}

: > "$scratch/ours.times"
: > "$scratch/theirs.times"
for ((run = 1; run <= RUNS; run++)); do
    rm -f "$scratch"/ours/* "$scratch"/theirs/*
    if ((run % 2)); then
        elapsed ours >> "$scratch/ours.times"
        elapsed theirs >> "$scratch/theirs.times"
    else
        elapsed theirs >> "$scratch/theirs.times"
        elapsed ours >> "$scratch/ours.times"
    fi
done
for file in "$scratch"/in/*.jpg; do  # both tools' results must be the same pictures
    cmp -s <(djpeg -ppm "$scratch/ours/${file##*/}") <(djpeg -ppm "$scratch/theirs/${file##*/}") ||
        { echo "batch.sh: ${file##*/}: the results differ" >&2; exit 1; }
done

median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
awk -v o="$(median "$scratch/ours.times")" -v t="$(median "$scratch/theirs.times")" -v n="$COPIES" -v j="$JOBS" \
    -v r="$RUNS" 'BEGIN { printf "%d copies, -j %d / xargs -P%d, medians of %d runs: ours %.0f ms, jpegtran %.0f ms, ratio %.2f\n",
                               n, j, j, r, o / 1000, t / 1000, o / t }'
