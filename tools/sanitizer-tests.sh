#!/usr/bin/env bash
# Builds the engine, the command-line tool and their tests with AddressSanitizer and
# UndefinedBehaviorSanitizer in build-asan/ and runs every test there. Any sanitizer report
# (memory error, leak, undefined behaviour) aborts the test that caused it, so ctest fails.
#   SANITIZER_BUILD_DIR  build directory (default: build-asan beside the sources)
#   SANITIZER_CC/CXX     compilers (default: clang, clang++)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${SANITIZER_BUILD_DIR:-$root/build-asan}
jobs=$(nproc)
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

CC=${SANITIZER_CC:-clang} CXX=${SANITIZER_CXX:-clang++} cmake -S "$root" -B "$build" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPIVOTTA_BUILD_APP=OFF -DPIVOTTA_BUILD_TESTS=ON \
  -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_C_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" > /dev/null
cmake --build "$build" -j"$jobs"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:detect_stack_use_after_return=1:strict_string_checks=1:check_initialization_order=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
ctest --test-dir "$build" --output-on-failure -j"$jobs"
echo "Sanitizer tests passed."
