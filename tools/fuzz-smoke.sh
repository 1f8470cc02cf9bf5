#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/, writes their seed corpora, and runs
# each fuzzer for a bounded time (FUZZ_SECONDS, default 60; they run side by side).
# Fails on any crash, leak, timeout or sanitizer report; the input that caused it is kept in
# build-fuzz/artifacts/ and can be replayed with: build-fuzz/bin/fuzz_<target> FILE
# The corpora grow in build-fuzz/corpus/ from one run to the next.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${FUZZ_BUILD_DIR:-$root/build-fuzz}
seconds=${FUZZ_SECONDS:-60}
targets=(transform bitstream exif threads scans mpf xmp)

CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DPIVOTTA_BUILD_FUZZERS=ON -DPIVOTTA_BUILD_APP=OFF -DPIVOTTA_BUILD_TESTS=OFF > /dev/null
cmake --build "$build" -j"$(nproc)" --target make_seeds "${targets[@]/#/fuzz_}"

rm -rf "$build/seeds"
camera_files=()
[ -d "$root/../shared/testdata" ] && camera_files=("$root/../shared/testdata")
"$build/bin/make_seeds" "$build/seeds" "${camera_files[@]}"

max_len() {
  case $1 in
    transform) echo 20000 ;;  # camera thumbnails; larger inputs only slow the search down
    exif) echo 65527 ;;       # what an APP1 segment can hold after "Exif\0\0"
    threads) echo 128 ;;      # a picture description and its damage
    xmp) echo 8192 ;;         # a packet with a container directory
    scans) echo 8192 ;;       # a scan description and its entropy-coded data
    *) echo 4096 ;;
  esac
}

# The index and packet parsers are small: half the time finds what they hold.
run_seconds() { case $1 in mpf|xmp) echo $(( (seconds + 1) / 2 )) ;; *) echo "$seconds" ;; esac; }

# The thread fuzzer's inputs are short descriptions, useful at full length from the start.
len_control() { [ "$1" = threads ] && echo 0 || echo 100; }

mkdir -p "$build/artifacts" "$build/logs"
declare -A pids
for target in "${targets[@]}"; do
  mkdir -p "$build/corpus/$target" "$build/seeds/$target"  # threads builds its pictures itself
  "$build/bin/fuzz_$target" -max_total_time="$(run_seconds "$target")" -timeout=10 -rss_limit_mb=3072 \
    -max_len="$(max_len "$target")" -len_control="$(len_control "$target")" -dict="$root/fuzz/jpeg.dict" -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" "$build/corpus/$target" "$build/seeds/$target" \
    > "$build/logs/$target.log" 2>&1 &
  pids[$target]=$!
done

failed=0
for target in "${targets[@]}"; do
  log=$build/logs/$target.log
  if wait "${pids[$target]}"; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    coverage=$(grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | grep -oE 'cov: [0-9]+ ft: [0-9]+ corp: [0-9]+' | tail -1)
    echo "fuzz_$target: $(run_seconds "$target")s, $runs runs, $coverage"
  else
    failed=1
    echo "fuzz_$target FAILED; its report:" >&2
    grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse|INITED|RELOAD)' "$log" | tail -60 >&2
  fi
done
[ "$failed" -eq 0 ] || { echo "Fuzzing found a fault; see $build/artifacts/" >&2; exit 1; }
echo "Fuzz smoke run passed."
