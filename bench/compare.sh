#!/usr/bin/env bash
# Times pivotta-cli against jpegtran -copy all on generated camera-like photographs and
# prints, per input and transform, the median wall time and peak memory of both and their
# ratios (ours / jpegtran), and the ratio of the results' sizes. Runs alternate between the
# two tools and between inputs, so that a busy moment of the machine hits both alike. Rows
# for Huffman tables follow: -O against jpegtran -optimize on every input, and on inputs
# whose tables were optimized for them (made with jpegtran -optimize) the default policy
# against plain jpegtran -copy all.
#
#   bench/compare.sh                 RUNS timed runs per cell (default 11)
#   RUNS=5 bench/compare.sh          a quicker, noisier look
#   OURS=driver bench/compare.sh     time bench/engine_driver (the engine alone) instead
#   KEEP=1 bench/compare.sh          keep the scratch folder with the inputs
#
# Needs cmake and g++, and cjpeg/djpeg/jpegtran, exiftool and GNU time (Debian packages
# libjpeg-turbo-progs, libimage-exiftool-perl, time).
set -euo pipefail
export LC_ALL=C  # a decimal point in EPOCHREALTIME, whatever the user's locale
cd "$(dirname "$0")/.."

source bench/inputs.sh

RUNS=${RUNS:-11}
OURS=${OURS:-cli}
build=$bench_build

require_tools compare.sh cmake cjpeg djpeg jpegtran exiftool /usr/bin/time

echo "Building Release in $build/ ..."
targets=(make_photo engine_driver)
[ "$OURS" = cli ] && targets+=(pivotta-cli)
build_bench "${targets[@]}"
case "$OURS" in
    cli) ours=("$build/bin/pivotta-cli") ;;
    driver) ours=("$build/bin/engine_driver") ;;
    *) echo "compare.sh: OURS must be cli or driver" >&2; exit 2 ;;
esac

scratch=$(mktemp -d "${TMPDIR:-/tmp}/pivotta-bench.XXXXXX")
if [ "${KEEP:-0}" = 1 ]; then echo "Scratch folder: $scratch"; else trap 'rm -rf "$scratch"' EXIT; fi

echo "Making inputs in $scratch ..."
make_bench_inputs "$scratch"
inputs=("${bench_inputs[@]}")
optimized_inputs=(12mp-422-opt 24mp-420-dense-opt)
for input in "${optimized_inputs[@]}"; do
    jpegtran -copy all -optimize -outfile "$scratch/$input.jpg" "$scratch/${input%-opt}.jpg"
done
# Other processes, from the dense photo: each kept in its coding (jpegtran told to write it so)
# and written baseline (--baseline against plain jpegtran, which writes baseline).
coded_inputs=(24mp-420-dense-prog 24mp-420-dense-arith)
jpegtran -copy all -progressive -outfile "$scratch/24mp-420-dense-prog.jpg" "$scratch/24mp-420-dense.jpg"
jpegtran -copy all -arithmetic -outfile "$scratch/24mp-420-dense-arith.jpg" "$scratch/24mp-420-dense.jpg"

# name|our flags|jpegtran flags
transforms=("rotate-90|-r 90|-rotate 90" "rotate-180|-r 180|-rotate 180" "rotate-270|-r 270|-rotate 270"
            "mirror-lr|-m lr|-flip horizontal" "mirror-tb|-m tb|-flip vertical"
            "transpose|--transpose|-transpose" "transverse|--transverse|-transverse")

# input|row name|our flags|jpegtran flags: every input with every transform, then the tables.
cells=()
for input in "${inputs[@]}"; do
    for transform in "${transforms[@]}"; do cells+=("$input|$transform"); done
done
for input in "${inputs[@]}" "${optimized_inputs[@]}"; do
    cells+=("$input|rotate-90 -O|-O -r 90|-optimize -rotate 90" "$input|mirror-lr -O|-O -m lr|-optimize -flip horizontal")
done
for input in "${optimized_inputs[@]}"; do
    cells+=("$input|rotate-90|-r 90|-rotate 90" "$input|mirror-lr|-m lr|-flip horizontal")
done
for input in "${coded_inputs[@]}"; do
    coding=-progressive
    [ "$input" = 24mp-420-dense-arith ] && coding=-arithmetic
    cells+=("$input|rotate-90|-r 90|$coding -rotate 90" "$input|mirror-lr|-m lr|$coding -flip horizontal"
            "$input|rotate-90 base|--baseline -r 90|-rotate 90")
done

# ---------------------------------------------------------------- Timing

# measure RESULT_FILE COMMAND...: runs the command once and appends its wall time in
# microseconds, its peak memory in KiB and its processor time (user + system) in ms.
measure() {
    local result=$1
    shift
    local start end
    start=$EPOCHREALTIME
    if ! /usr/bin/time -f '%M %U %S' -o "$scratch/usage" "$@" > /dev/null 2> "$scratch/stderr"; then
        echo "compare.sh: failed: $*" >&2
        cat "$scratch/stderr" >&2
        exit 1
    fi
    end=$EPOCHREALTIME
    tail -n 1 "$scratch/usage" | awk -v wall="$((${end/./} - ${start/./}))" \
        '{ printf "%d %d %d\n", wall, $1, ($2 + $3) * 1000 + 0.5 }' >> "$result"
}

run_ours() { rm -f "$2"; measure "$3" "${ours[@]}" $ourFlags "$1" "$2"; }
# The restart interval in MCUs of a JPEG file, from its DRI segment; empty without one.
restart_interval() {
    head -c 65536 "$1" | od -An -tx1 -v -w1 | tr -d ' ' | tr '\n' ' ' | { grep -o 'ff dd 00 04 .. ..' || true; } |
        head -n 1 | awk '{ print $5 $6 }'
}
# jpegtran writes restart markers only when asked to; ours keep the input's interval.
run_jpegtran() {
    local interval restart=()
    interval=$(restart_interval "$1")
    [ -n "$interval" ] && restart=(-restart "$((16#$interval))B")
    rm -f "$2"
    measure "$3" jpegtran -copy all $theirFlags "${restart[@]}" -outfile "$2" "$1"
}

mkdir -p "$scratch/results"
echo "Checking outputs: both tools' results must decode to the same pixels ..."
for c in "${cells[@]}"; do
    IFS='|' read -r input name ourFlags theirFlags <<< "$c"
    run_ours "$scratch/$input.jpg" "$scratch/ours.jpg" /dev/null
    run_jpegtran "$scratch/$input.jpg" "$scratch/theirs.jpg" /dev/null
    if ! cmp -s <(djpeg -ppm "$scratch/ours.jpg") <(djpeg -ppm "$scratch/theirs.jpg"); then
        echo "compare.sh: $input $name: the pictures differ from jpegtran's" >&2
        exit 1
    fi
    echo "$(stat -c %s "$scratch/ours.jpg") $(stat -c %s "$scratch/theirs.jpg")" > "$scratch/results/$input.$name.size"
done

echo "Timing $RUNS runs of each, interleaved ..."
for ((run = 1; run <= RUNS; run++)); do
    for c in "${cells[@]}"; do
        IFS='|' read -r input name ourFlags theirFlags <<< "$c"
        cell="$scratch/results/$input.$name"
        if ((run % 2)); then
            run_ours "$scratch/$input.jpg" "$scratch/ours.jpg" "$cell.ours"
            run_jpegtran "$scratch/$input.jpg" "$scratch/theirs.jpg" "$cell.jpegtran"
        else
            run_jpegtran "$scratch/$input.jpg" "$scratch/theirs.jpg" "$cell.jpegtran"
            run_ours "$scratch/$input.jpg" "$scratch/ours.jpg" "$cell.ours"
        fi
    done
    printf '  run %d of %d done\n' "$run" "$RUNS"
done

# median FILE COLUMN
median() { cut -d' ' -f"$2" "$1" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# ---------------------------------------------------------------- Table

cpu=$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')
echo
echo "Machine: ${cpu:-unknown CPU}, $(nproc) cores; $(jpegtran -version 2>&1 | head -n 1)"
echo "Ours: ${ours[*]}; medians of $RUNS runs. Ratios are ours / jpegtran: wall time from launch"
echo "to exit, processor time (user + system, 10 ms steps; steadier on a busy machine), peak RSS,"
echo "the results' sizes. Rows with -O: jpegtran with -optimize."
echo
printf '%-18s %-13s %8s %12s %6s %6s %9s %12s %6s %7s\n' input transform "ours ms" "jpegtran ms" wall cpu \
    "ours MiB" "jpegtran MiB" memory size
for c in "${cells[@]}"; do
    IFS='|' read -r input name ourFlags theirFlags <<< "$c"
    cell="$scratch/results/$input.$name"
    read -r os ts < "$cell.size"
    awk -v input="$input" -v name="$name" -v ot="$(median "$cell.ours" 1)" -v tt="$(median "$cell.jpegtran" 1)" \
        -v om="$(median "$cell.ours" 2)" -v tm="$(median "$cell.jpegtran" 2)" \
        -v oc="$(median "$cell.ours" 3)" -v tc="$(median "$cell.jpegtran" 3)" -v os="$os" -v ts="$ts" 'BEGIN {
            printf "%-18s %-13s %8.1f %12.1f %6.2f %6s %9.1f %12.1f %6.2f %7.4f\n", input, name, ot / 1000, tt / 1000,
                   ot / tt, (tc > 0 ? sprintf("%.2f", oc / tc) : "-"), om / 1024, tm / 1024, om / tm, os / ts }'
done
for input in "${inputs[@]}" "${optimized_inputs[@]}" "${coded_inputs[@]}"; do
    printf '%s.jpg: %s bytes\n' "$input" "$(stat -c %s "$scratch/$input.jpg")"
done
