#!/usr/bin/env bash
# Proves that two builds of pivotta-cli behave the same: every transform kind on every bench
# input and on every JPEG in ../shared/testdata (skipped when absent), with 1, 2, 3, 4 and 8
# threads for the one file. The written file, the exit status and the messages must be
# identical; a file that both refuse counts as compared when status and message match.
#
#   bench/same-output.sh REF_CLI NEW_CLI
#   THREADS="1 2" bench/same-output.sh ...       other thread counts (-j N)
#   FLAGS="--no-trim" bench/same-output.sh ...   extra options for every run
#   TESTDATA=DIR bench/same-output.sh ...        other camera files
#   KEEP=1 bench/same-output.sh ...              keep the scratch folder with the inputs
#
# Needs cmake and g++ (to build make_photo), cjpeg and exiftool (Debian packages
# libjpeg-turbo-progs, libimage-exiftool-perl).
set -euo pipefail
export LC_ALL=C  # the messages in English, whatever the user's locale

if [ $# -ne 2 ]; then
    echo "usage: bench/same-output.sh REF_CLI NEW_CLI" >&2
    exit 2
fi
for cli in "$1" "$2"; do
    [ -x "$cli" ] || { echo "same-output.sh: $cli is not an executable" >&2; exit 2; }
done
ref=$(realpath "$1")
new=$(realpath "$2")
cd "$(dirname "$0")/.."
source bench/inputs.sh

read -r -a threadCounts <<< "${THREADS:-1 2 3 4 8}"
read -r -a extraFlags <<< "${FLAGS:-}"
testdata=${TESTDATA:-../shared/testdata}

require_tools same-output.sh cmake cjpeg exiftool
build_bench make_photo

scratch=$(mktemp -d "${TMPDIR:-/tmp}/pivotta-same.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then echo "Scratch folder: $scratch"; else trap 'rm -rf "$scratch"' EXIT; fi

echo "Making inputs in $scratch ..."
make_bench_inputs "$scratch"
inputs=()
for name in "${bench_inputs[@]}"; do inputs+=("$scratch/$name.jpg"); done
if [ -d "$testdata" ]; then
    shopt -s nullglob
    inputs+=("$testdata"/*.jpg "$testdata"/*.JPG)
    shopt -u nullglob
else
    echo "No camera files in $testdata: the generated inputs only."
fi

kinds=("--none" "-r 90" "-r 180" "-r 270" "-m lr" "-m tb" "--transpose" "--transverse")

# Both builds write to the same path, so that a message naming it reads the same.
result="$scratch/result.jpg"

# run_cli CLI SIDE INPUT THREADS KIND: SIDE.jpg (absent when nothing was written),
# SIDE.status, SIDE.stdout and SIDE.stderr.
run_cli() {
    local cli=$1 side=$2 input=$3 threads=$4 kind=$5 status=0
    rm -f "$result" "$scratch/$side.jpg"
    # shellcheck disable=SC2086  # KIND is a flag and its value
    "$cli" -j "$threads" $kind "${extraFlags[@]}" "$input" "$result" \
        > "$scratch/$side.stdout" 2> "$scratch/$side.stderr" || status=$?
    echo "$status" > "$scratch/$side.status"
    if [ -e "$result" ]; then mv "$result" "$scratch/$side.jpg"; fi
}

# same_result: whether both wrote the same bytes or neither wrote anything.
same_result() {
    if [ -e "$scratch/ref.jpg" ] || [ -e "$scratch/new.jpg" ]; then
        cmp -s "$scratch/ref.jpg" "$scratch/new.jpg"
    fi
}

compared=0 refused=0 differences=0
echo "Comparing $ref against $new, threads ${threadCounts[*]} ..."
for input in "${inputs[@]}"; do
    for kind in "${kinds[@]}"; do
        for threads in "${threadCounts[@]}"; do
            run_cli "$ref" ref "$input" "$threads" "$kind"
            run_cli "$new" new "$input" "$threads" "$kind"
            compared=$((compared + 1))
            [ -e "$scratch/ref.jpg" ] || refused=$((refused + 1))
            what=()
            same_result || what+=("written file")
            cmp -s "$scratch/ref.status" "$scratch/new.status" ||
                what+=("exit status $(< "$scratch/ref.status") vs $(< "$scratch/new.status")")
            cmp -s "$scratch/ref.stdout" "$scratch/new.stdout" || what+=("standard output")
            cmp -s "$scratch/ref.stderr" "$scratch/new.stderr" || what+=("messages")
            if ((${#what[@]})); then
                differences=$((differences + 1))
                printf -v list '%s, ' "${what[@]}"
                echo "DIFFERENT: $input $kind -j $threads${FLAGS:+ $FLAGS}: ${list%, }"
                diff "$scratch/ref.stderr" "$scratch/new.stderr" | head -n 6 || true
            fi
        done
    done
    echo "  $(basename "$input") done"
done

echo "$refused runs wrote no file (inputs the tool refuses): their status and messages were compared"
if ((differences)); then
    echo "$compared outputs compared, $differences differ"
    exit 1
fi
echo "$compared outputs compared, all identical"
