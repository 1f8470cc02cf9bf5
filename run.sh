#!/usr/bin/env bash
# Installs what is missing, builds, and runs the main job: the desktop program when there is a
# display (./run.sh [FILE|FOLDER]), otherwise a command-line demo on a picture made here.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
targets=(pivotta-cli)
[ -f app/main.cpp ] && targets+=(pivotta)
cmake --build build -j"$(nproc)" --target "${targets[@]}"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/bin/pivotta ]; then
  exec build/bin/pivotta "$@"
fi

echo "No display found: running the command-line demo instead."
demo=build/demo
mkdir -p "$demo"
# A photo-like sample of our own: 1000x750 (not whole 16x16 MCUs), 4:2:0, restart markers.
convert -size 1000x750 -seed 7 plasma:fractal -blur 0x1 -sampling-factor 2x2 -quality 90 \
        -define jpeg:restart-interval=4 "$demo/sample.jpg"
cli=build/bin/pivotta-cli
"$cli" --check "$demo/sample.jpg"
for args in "-r 90" "-r 180" "-r 270" "-m lr" "-m tb" "-r 90 --trim"; do
  name="sample_$(echo "$args" | tr -d ' -').jpg"
  start=$(date +%s%N)
  # shellcheck disable=SC2086
  "$cli" $args "$demo/sample.jpg" "$demo/$name"
  ms=$(( ($(date +%s%N) - start) / 1000000 ))
  size=$(identify -format '%wx%h' "$demo/$name")
  echo "pivotta-cli $args: $demo/$name ($size, ${ms} ms)"
done
