#!/usr/bin/env bash
# Installs the Windows installer silently into the wine prefix, checks what it put where,
# starts the installed program once (only the files of the package beside it) and the
# installed pivotta-cli.exe, then uninstalls silently and checks that nothing is left.
#   tools/windows-installer-test.sh INSTALLER.exe SCREENSHOT.png
# Needs PIVOTTA_WINEPREFIX, an X display (DISPLAY), xdotool and ImageMagick's import.
set -euo pipefail
installer=$1 screenshot=$2
mkdir -p "$(dirname "$screenshot")"
here=$(cd "$(dirname "$0")" && pwd)
prefix=$PIVOTTA_WINEPREFIX
folder="$prefix/drive_c/Program Files/Pivotta"
menu="$prefix/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Pivotta"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pivotta'
fail() { echo "windows-installer-test: $*" >&2; exit 1; }
wine_reg() { WINEPREFIX=$prefix WINEDEBUG=-all timeout 60 wine reg "$@" 2> /dev/null | tr -d '\r'; }
# The uninstaller runs as a copy of itself in the temporary folder: its start returns at once.
wait_until() {
  for _ in $(seq 300); do
    if eval "$1"; then return 0; fi
    sleep 0.2
  done
  return 1
}

rm -rf "$folder" "$menu"
timeout 120 "$here/wine-run.sh" "$installer" /S || fail "the silent install failed"
for file in pivotta.exe pivotta-cli.exe readme.txt uninstall.exe Qt6Core.dll platforms/qwindows.dll licenses/README.txt; do
  [ -f "$folder/$file" ] || fail "the install has no $file"
done
[ -f "$menu/Pivotta.lnk" ] || fail "no Start-menu entry"
wine_reg query "$uninstall_key" /v UninstallString | grep -q 'uninstall.exe' || fail "no entry under $uninstall_key"

version=$(timeout 60 "$here/wine-run.sh" "$folder/pivotta-cli.exe" --version | tr -d '\r')
[ -n "$version" ] || fail "the installed pivotta-cli.exe printed no version"
timeout 120 "$here/wine-run.sh" "C:\\Program Files\\Pivotta\\pivotta.exe" > /dev/null 2>&1 &
program=$!
window=""
for _ in $(seq 150); do
  window=$(xdotool search --onlyvisible --name '^JPEGファイル回転プログラム - Pivotta -$' 2> /dev/null | tail -1 || true)
  [ -n "$window" ] && break
  sleep 0.2
done
[ -n "$window" ] || { kill $program 2> /dev/null; fail "the installed pivotta.exe showed no window"; }
sleep 1
import -window root "$screenshot"
xdotool windowfocus --sync "$window" 2> /dev/null || true
sleep 0.3
xdotool key --clearmodifiers alt+f x
status=0
wait $program || status=$?
[ $status -eq 0 ] || fail "the installed pivotta.exe ended with status $status"

timeout 120 "$here/wine-run.sh" "C:\\Program Files\\Pivotta\\uninstall.exe" /S || fail "the silent uninstall failed"
wait_until '[ ! -e "$folder" ]' || fail "the uninstall left $(find "$folder" | head -5)"
[ ! -e "$menu" ] || fail "the uninstall left the Start-menu entry"
! wine_reg query "$uninstall_key" > /dev/null || fail "the uninstall left $uninstall_key"
echo "windows-installer-test: $(basename "$installer") installed silently, pivotta.exe and pivotta-cli.exe ($version) started from Program Files, and the uninstaller removed everything."
