#!/usr/bin/env bash
# Cross-builds the engine, pivotta-cli and their tests for Windows with MinGW-w64, runs the
# tests under wine in a prefix of the build's own, and compares pivotta-cli.exe's results
# (bytes, messages, exit status) on the camera files with the Linux build's. With the Qt kit
# of ../shared/qt6-mingw it also builds pivotta.exe and its tests, runs them, walks through a
# scripted session with the program on a virtual display, and makes and installs the package.
#   tools/windows-tests.sh            uses build/bin/pivotta-cli, building it when missing
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-windows
linux_cli=build/bin/pivotta-cli
testdata=../shared/testdata
kit_archive=../shared/qt6-mingw/qt6-6.4.2-mingw-w64-x86_64.tar.xz

# The kit is unpacked into the build folder once, and again only when the archive changes.
kit=""
if [ -f "$kit_archive" ]; then
  kit=$PWD/$build/$(basename "$kit_archive" .tar.xz)
  stamp=$(stat -c '%s %Y' "$kit_archive")
  if [ "$(cat "$kit/.unpacked-from" 2> /dev/null)" != "$stamp" ]; then
    rm -rf "$kit"
    mkdir -p "$build"
    tar -C "$build" -xf "$kit_archive"
    echo "$stamp" > "$kit/.unpacked-from"
  fi
else
  echo "windows-tests: no Qt kit for MinGW in ../shared/qt6-mingw: pivotta.exe, its tests, the session under wine and the installer are skipped."
fi
# A build folder made with the kit links differently (shared C++ runtime): never reuse it without.
if [ -f "$build/CMakeCache.txt" ] && ! grep -qx "PIVOTTA_QT_KIT:UNINITIALIZED=$kit" "$build/CMakeCache.txt"; then
  rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
      -DPIVOTTA_QT_KIT="$kit" --no-warn-unused-cli "${launcher[@]}" > /dev/null
cmake --build "$build" -j"$(nproc)"
if [ ! -x "$linux_cli" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build build -j"$(nproc)" --target pivotta-cli
fi

export PIVOTTA_WINEPREFIX=$PWD/$build/wineprefix
# The first start creates the prefix: once, here, rather than in parallel test runs. The
# wine server of this prefix (and only that one) goes when the script ends, with the display.
work=$(mktemp -d)
display_server=""
cleanup() {
  [ -z "$display_server" ] || kill "$display_server" 2> /dev/null || true
  rm -rf "$work"
  WINEPREFIX=$PIVOTTA_WINEPREFIX wineserver -k > /dev/null 2>&1 || true
}
trap cleanup EXIT
# The desktop program's tests and session draw real windows: on a virtual display of their own,
# started before the prefix, whose desktop process keeps the display it was started with.
if [ -n "$kit" ]; then
  Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3> "$work/display" > /dev/null 2>&1 &
  display_server=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  export DISPLAY=:$(cat "$work/display")
fi
# A wine server left from an earlier run would keep an earlier display.
WINEPREFIX=$PIVOTTA_WINEPREFIX wineserver -k > /dev/null 2>&1 || true
tools/wine-run.sh "$build/bin/pivotta-cli.exe" --version > /dev/null
ctest --test-dir "$build" --output-on-failure

compare_cli_with_linux() {
  local inputs=("$testdata"/*.jpg)
  # Every transform the tool offers, with and without trimming, whichever way its options say it.
  local help kinds trims
  help=$("$linux_cli" --help)
  kinds=("--none" "-r 90" "-r 180" "-r 270" "-m lr" "-m tb")
  for extra in --transpose --transverse --auto-orient; do
    if [[ $help == *"$extra"* ]]; then kinds+=("$extra"); fi
  done
  if [[ $help == *"--no-trim"* ]]; then trims=("" "--no-trim"); else trims=("" "--trim"); fi
  local runs=$((${#kinds[@]} * ${#trims[@]})) failures=0 compared=0 trim kind name side
  for trim in "${trims[@]}"; do
    for kind in "${kinds[@]}"; do
      name="$(echo "$kind$trim" | tr -d ' -')"
      for side in linux windows; do mkdir -p "$work/$side/$name"; done
      set +e
      # shellcheck disable=SC2086
      "$linux_cli" $kind $trim -o "$work/linux/$name" "${inputs[@]}" > "$work/linux/$name.out" 2> "$work/linux/$name.err"
      echo $? > "$work/linux/$name.status"
      tools/wine-run.sh "$build/bin/pivotta-cli.exe" $kind $trim -o "$work/windows/$name" "${inputs[@]}" \
        > "$work/windows/$name.out" 2> "$work/windows/$name.err"
      echo $? > "$work/windows/$name.status"
      set -e
      # Files run in parallel report in the order they finish, which differs from run to run.
      for side in linux windows; do LC_ALL=C sort -o "$work/$side/$name.err" "$work/$side/$name.err"; done
      if ! diff -r "$work/linux" "$work/windows" > "$work/diff.txt"; then
        echo "windows-tests: pivotta-cli.exe $kind $trim differs from the Linux build:"
        head -20 "$work/diff.txt"
        failures=$((failures + 1))
      fi
      compared=$((compared + $(find "$work/windows/$name" -name '*.jpg' | wc -l)))
      rm -rf "$work/linux" "$work/windows"
    done
  done
  if [ "$failures" -ne 0 ]; then
    echo "windows-tests: $failures of $runs transform runs differ."
    return 1
  fi
  echo "windows-tests: pivotta-cli.exe matches the Linux build on $compared results (${#inputs[@]} files, $runs ways)."
}
have_camera_files=false
compgen -G "$testdata/*.jpg" > /dev/null && have_camera_files=true
if $have_camera_files; then
  compare_cli_with_linux
else
  echo "windows-tests: no camera files in $testdata; the comparison with the Linux build is skipped."
fi
[ -n "$kit" ] || exit 0

# The desktop program: a session as a person would have it, then the package, installed and
# uninstalled as a user would.
if $have_camera_files; then
  tools/windows-session.sh "$build/bin/pivotta.exe" "$testdata/Canon_40D.jpg" "$linux_cli" "$build/windows-session"
else
  echo "windows-tests: no camera files in $testdata; the session with pivotta.exe is skipped."
fi
tools/windows-package.sh "$build" "$kit"
tools/windows-installer-test.sh "$build"/package/pivotta-*-setup.exe "$build/windows-session/installed.png"
