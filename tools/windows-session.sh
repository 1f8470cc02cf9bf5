#!/usr/bin/env bash
# A person's session with pivotta.exe under wine, scripted: it opens a camera file with a
# Japanese name from the command line, answers the warnings, turns the photo by 90 degrees,
# saves it over itself (answering the question), fits the view to the window and quits.
# Then the registry key must hold every stored value, and the saved file must be the one the
# Linux build's pivotta-cli makes. Screenshots of each step go to the output folder.
#   tools/windows-session.sh PROGRAM.exe CAMERA.jpg LINUX-CLI OUTPUT-FOLDER
# Needs an X display (DISPLAY), xdotool and ImageMagick's import.
set -euo pipefail
program=$1 camera=$2 linux_cli=$3 out=$4
here=$(cd "$(dirname "$0")" && pwd)
mkdir -p "$out"
rm -f "$out"/*.png
key='HKCU\Software\Tollemark\Pivotta'
wine_reg() { WINEPREFIX=$PIVOTTA_WINEPREFIX WINEDEBUG=-all timeout 60 wine reg "$@" 2> /dev/null; }
fail() { echo "windows-session: $*" >&2; exit 1; }

photo="$out/回転テスト_写真.jpg"
install -m 644 "$camera" "$photo"
# The desktop program trims a ragged edge unless told otherwise, and writes the standard
# Huffman tables where the file's own cannot code the result.
"$linux_cli" -q --standard-tables -r 90 "$camera" "$out/expected.jpg"
# A first run on this prefix: no key yet, every default applies.
wine_reg delete "$key" /f > /dev/null || true

shot=0
screenshot() {
  shot=$((shot + 1))
  import -window root "$out/$(printf '%02d' $shot)-$1.png"
}
# shellcheck source=x11-walk.sh
source "$here/x11-walk.sh"
main_title='^JPEGファイル回転プログラム - Pivotta - 回転テスト_写真\.jpg$'
dialog_title='^(警告|情報|エラー|JPEGファイル回転プログラム - Pivotta -)( - .*)?$'

start_size=$(stat -c %s "$photo")
timeout 180 "$here/wine-run.sh" "$program" "Z:$(realpath "$photo" | tr / '\\')" > "$out/program.log" 2>&1 &
session=$!
trap 'kill $session 2> /dev/null || true' EXIT
main=$(find_window "$main_title")
[ -n "$main" ] || fail "the main window did not open"
# Opening a photo may raise warnings (an optimized Huffman table, a ragged edge): each is read and closed.
sleep 2
warnings=0
while dialog=$(xdotool search --onlyvisible --name "$dialog_title" 2> /dev/null | tail -1) && [ -n "$dialog" ]; do
  warnings=$((warnings + 1))
  [ $warnings -le 5 ] || fail "the warnings on opening do not end"
  screenshot "opened-warning$warnings"
  close_box "$dialog"
  sleep 1
done
screenshot opened

send_keys "$main" alt+o 2
sleep 2
screenshot turned
send_keys "$main" ctrl+s
question=$(find_window '^警告$')
[ -n "$question" ] || fail "saving over the file asked nothing"
screenshot save-question
close_box "$question"
for _ in $(seq 50); do
  cmp -s "$photo" "$camera" || break
  sleep 0.2
done
sleep 1
[ -z "$(xdotool search --onlyvisible --name "$dialog_title" 2> /dev/null)" ] || { screenshot save-error; fail "saving raised a message"; }
send_keys "$main" alt+v Up Return
sleep 1
screenshot fitted
send_keys "$main" alt+f x
status=0
wait $session || status=$?
trap - EXIT
[ $status -eq 0 ] || fail "pivotta.exe ended with status $status (see $out/program.log)"

cmp -s "$photo" "$out/expected.jpg" ||
  fail "the saved photo ($(stat -c %s "$photo") bytes, was $start_size) differs from pivotta-cli --standard-tables -r 90's ($(stat -c %s "$out/expected.jpg") bytes)"
stored=$(wine_reg query "$key" | tr -d '\r')
echo "$stored" > "$out/registry.txt"
for name in App_Top App_Left App_Height App_Width App_WindowState gDHTWarning gFolderProcessInfo gSaveResult \
            gForceSave gSaveSameFolder gSaveFolder gKeepTimeStamp_Create gKeepTimeStamp_Write \
            gToolBarSaveButtonIsSaveAs gViewProportional gAllowBreakDCF gAllowAdjustMCU; do
  grep -Eq "^ +$name +REG_(DWORD|SZ)" <<< "$stored" || fail "$key has no $name after closing (see $out/registry.txt)"
done
grep -Eq '^ +gViewProportional +REG_DWORD +0x1$' <<< "$stored" || fail "the fitted view was not stored"
grep -Eq '^ +App_Width +REG_DWORD +0x2b4$' <<< "$stored" || fail "the window's designed width 692 was not stored"
echo "windows-session: pivotta.exe opened, turned and saved $(basename "$camera") as 回転テスト_写真.jpg like the Linux build, closed $warnings warnings and stored its settings; screenshots in $out."
