#!/usr/bin/env bash
# The desktop program walked on a virtual display with files outside baseline: for each of a
# progressive, an arithmetic-coded and a CMYK photo it opens the file from the command line,
# answers the warnings, shows it, turns it by 90 degrees, saves it over itself (answering the
# question) and quits. The saved file must be pivotta-cli --standard-tables -r 90's result:
# the program trims a ragged edge by default and keeps the standard-table rule. Screenshots
# of each step go to the output folder.
#   tools/desktop-session.sh [PROGRAM [PIVOTTA-CLI [OUTPUT-FOLDER]]]
set -euo pipefail
cd "$(dirname "$0")/.."
program=$(realpath "${1:-build/bin/pivotta}") cli=$(realpath "${2:-build/bin/pivotta-cli}") out=${3:-build/desktop-session}
for tool in Xvfb xdotool import convert cjpeg; do
  command -v $tool > /dev/null || { echo "desktop-session: no $tool, the walk of the desktop program is skipped."; exit 0; }
done
[ -x "$program" ] || { echo "desktop-session: no desktop program at $program, its walk is skipped."; exit 0; }
fail() { echo "desktop-session: $*" >&2; exit 1; }
mkdir -p "$out"
out=$(realpath "$out")
rm -rf "$out/config" "$out/display" "$out"/[0-9][0-9]-*.png

# A display and a settings folder of the session's own: a first run, every default applies. The
# display is not reset between programs: one started while it resets could not connect.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3> "$out/display" 2> /dev/null &
xvfb=$!
session=""
trap 'kill $session $xvfb 2> /dev/null || true' EXIT
for _ in $(seq 50); do [ -s "$out/display" ] && break; sleep 0.1; done
[ -s "$out/display" ] || fail "Xvfb did not start"
export DISPLAY=:$(cat "$out/display") XDG_CONFIG_HOME=$out/config QT_QPA_PLATFORM=xcb

# A photo 210x138: not a whole number of MCUs high, so the turn trims.
convert rose: -filter point -resize 300% "$out/rose.ppm"
cjpeg -quality 90 -progressive "$out/rose.ppm" > "$out/progressive.jpg"
cjpeg -quality 90 -arithmetic "$out/rose.ppm" > "$out/arithmetic.jpg"
convert "$out/rose.ppm" -quality 90 -colorspace CMYK "$out/cmyk.jpg"

shot=0 last_shot=""
screenshot() {
  shot=$((shot + 1))
  last_shot=$out/$(printf '%02d' $shot)-$1.png
  import -window root "$last_shot"
}
# The rose's petals on the last screenshot: thousands of red pixels where the picture is shown.
shows_picture() {
  local red
  red=$(convert "$last_shot" -fuzz 25% -fill black +opaque red -fill white -opaque red -format '%[fx:round(mean*w*h)]' info:)
  [ "$red" -ge 2000 ] || fail "$(basename "$last_shot") shows no picture ($red red pixels)"
}
# shellcheck source=x11-walk.sh
source tools/x11-walk.sh
dialog_title='^(警告|情報|エラー|JPEGファイル回転プログラム - Pivotta -)$'

walk() {
  local name=$1 photo=$out/$1.jpg original=$out/$1.original.jpg
  cp "$photo" "$original"
  "$cli" -q --standard-tables -r 90 "$original" "$out/$name.expected.jpg"
  "$program" "$photo" > "$out/$name.log" 2>&1 &
  session=$!
  local main
  main=$(find_window "^JPEGファイル回転プログラム - Pivotta - $name\.jpg\$")
  [ -n "$main" ] || fail "the main window did not open $name.jpg"
  # Opening may raise warnings (an optimized Huffman table, a ragged edge): each is read and closed.
  sleep 1
  local warnings=0 dialog
  while dialog=$(xdotool search --onlyvisible --name "$dialog_title" 2> /dev/null | tail -1) && [ -n "$dialog" ]; do
    warnings=$((warnings + 1))
    [ $warnings -le 5 ] || fail "the warnings on opening $name.jpg do not end"
    screenshot "$name-warning$warnings"
    close_box "$dialog"
    sleep 0.5
  done
  screenshot "$name-opened"
  shows_picture
  send_keys "$main" alt+o 2
  sleep 1
  [ -z "$(xdotool search --onlyvisible --name "$dialog_title" 2> /dev/null)" ] || { screenshot "$name-turn-error"; fail "turning $name.jpg raised a message"; }
  screenshot "$name-turned"
  shows_picture
  send_keys "$main" ctrl+s
  local question
  question=$(find_window '^警告$')
  [ -n "$question" ] || fail "saving $name.jpg over itself asked nothing"
  close_box "$question"
  for _ in $(seq 50); do
    cmp -s "$photo" "$original" || break
    sleep 0.1
  done
  sleep 0.5
  [ -z "$(xdotool search --onlyvisible --name "$dialog_title" 2> /dev/null)" ] || { screenshot "$name-save-error"; fail "saving $name.jpg raised a message"; }
  send_keys "$main" alt+f x
  local status=0
  wait $session || status=$?
  session=""
  [ $status -eq 0 ] || fail "the program ended with status $status on $name.jpg (see $out/$name.log)"
  cmp -s "$photo" "$out/$name.expected.jpg" ||
    fail "the saved $name.jpg ($(stat -c %s "$photo") bytes) differs from pivotta-cli --standard-tables -r 90's ($(stat -c %s "$out/$name.expected.jpg") bytes)"
  echo "desktop-session: $name.jpg opened, shown, turned and saved like pivotta-cli's, $warnings warnings closed."
}

start=$SECONDS
for name in progressive arithmetic cmyk; do
  walk "$name"
done
echo "desktop-session: done in $((SECONDS - start)) s; screenshots in $out."
