#!/usr/bin/env bash
# Runs a Windows program under wine in a private prefix: PIVOTTA_WINEPREFIX, or a
# "wineprefix" folder beside the program's bin folder. Quiet, and with no desktop windows.
set -euo pipefail
exe=$1
shift
if [ -z "${PIVOTTA_WINEPREFIX:-}" ]; then
  PIVOTTA_WINEPREFIX=$(cd "$(dirname "$exe")/.." && pwd)/wineprefix
fi
export WINEPREFIX=$PIVOTTA_WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot --init > /dev/null 2>&1 || true
fi
exec wine "$exe" "$@"
