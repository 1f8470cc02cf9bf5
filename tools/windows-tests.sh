#!/usr/bin/env bash
# Cross-builds the engine, pivotta-cli and their tests for Windows with MinGW-w64, runs the
# tests under wine in a prefix of the build's own, and compares pivotta-cli.exe's results
# (bytes, messages, exit status) on the camera files with the Linux build's.
#   tools/windows-tests.sh            uses build/bin/pivotta-cli, building it when missing
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-windows
linux_cli=build/bin/pivotta-cli
testdata=../shared/testdata

launcher=()
command -v ccache > /dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
      --no-warn-unused-cli "${launcher[@]}" > /dev/null
cmake --build "$build" -j"$(nproc)"
if [ ! -x "$linux_cli" ]; then
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release > /dev/null
  cmake --build build -j"$(nproc)" --target pivotta-cli
fi

# No Qt 6 for Windows here: the desktop program's Windows adapters are at least compiled,
# syntax only, against this machine's Qt headers.
qt=$(pkg-config --variable=includedir Qt6Core)
for source in app/platform/win32/RegistrySettingsKey.cpp app/platform/win32/Win32Platform.cpp app/platform/LongPath.cpp \
              app/document/FileIO.cpp app/main.cpp; do
  x86_64-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -Wall -Wextra -Werror -Wno-attributes \
    -DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN -I"$qt" -I"$qt/QtCore" -I"$qt/QtGui" -I"$qt/QtWidgets" \
    -Iapp/document -Iapp/windows -Iapp/platform -Iapp/texts -Iapp/platform/win32 -Icommon/win32 -Iengine/include -Icommon "$source"
done

export PIVOTTA_WINEPREFIX=$PWD/$build/wineprefix
# The first start creates the prefix: once, here, rather than in parallel test runs. The
# wine server of this prefix (and only that one) goes when the script ends.
trap 'WINEPREFIX=$PIVOTTA_WINEPREFIX wineserver -k > /dev/null 2>&1 || true' EXIT
tools/wine-run.sh "$build/bin/pivotta-cli.exe" --version > /dev/null
ctest --test-dir "$build" --output-on-failure

if ! compgen -G "$testdata/*.jpg" > /dev/null; then
  echo "windows-tests: no camera files in $testdata; the comparison with the Linux build is skipped."
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"; WINEPREFIX=$PIVOTTA_WINEPREFIX wineserver -k > /dev/null 2>&1 || true' EXIT
inputs=("$testdata"/*.jpg)
# Every transform the tool offers, with and without trimming, whichever way its options say it.
help=$("$linux_cli" --help)
kinds=("--none" "-r 90" "-r 180" "-r 270" "-m lr" "-m tb")
for extra in --transpose --transverse --auto-orient; do
  if [[ $help == *"$extra"* ]]; then kinds+=("$extra"); fi
done
if [[ $help == *"--no-trim"* ]]; then trims=("" "--no-trim"); else trims=("" "--trim"); fi
runs=$((${#kinds[@]} * ${#trims[@]}))
failures=0
compared=0
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
  exit 1
fi
echo "windows-tests: pivotta-cli.exe matches the Linux build on $compared results (${#inputs[@]} files, $runs ways)."
