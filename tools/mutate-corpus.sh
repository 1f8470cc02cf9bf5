#!/usr/bin/env bash
# Runs pivotta-cli over thousands of damaged copies of the real camera files and checks that
# every run ends well: exit status 0 or 1, within the time limit, without a sanitizer report,
# with no output file (and no temporary file) after a failure and a result that passes
# --check after a success. Skips when the camera files are absent.
#   PIVOTTA_CLI      the tool to run (default: build-asan/bin/pivotta-cli, else build/bin/pivotta-cli)
#   TESTDATA_DIR     the camera files (default: ../shared/testdata beside the checkout)
#   MUTANTS          how many damaged copies (default 3000); MUTANT_SEED their seed (default 1)
#   RUN_TIMEOUT      seconds allowed per run (default 20)
# Inputs that broke a promise are kept, with the tool's messages, in build-mutants/.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
testdata=${TESTDATA_DIR:-$root/../shared/testdata}
if [ ! -d "$testdata" ]; then
  echo "mutate-corpus: no camera files at $testdata; skipped"
  exit 0
fi
cli=${PIVOTTA_CLI:-}
if [ -z "$cli" ]; then
  for candidate in "$root/build-asan/bin/pivotta-cli" "$root/build/bin/pivotta-cli"; do
    [ -x "$candidate" ] && { cli=$candidate; break; }
  done
fi
[ -x "$cli" ] || { echo "mutate-corpus: build pivotta-cli first (or set PIVOTTA_CLI)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
c++ -std=c++20 -O2 -o "$work/make_mutants" "$root/fuzz/make_mutants.cpp"
"$work/make_mutants" "$testdata" "$work/in" "${MUTANTS:-3000}" "${MUTANT_SEED:-1}"
mkdir -p "$work/out" "$work/verdicts"

keep=$root/build-mutants
rm -rf "$keep"
export cli work keep timeout=${RUN_TIMEOUT:-20}
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
kinds=("-r 90" "-r 180" "-r 270" "-m lr" "-m tb" "--none")
options=("" "-t" "--turn-thumbnail" "-t --turn-thumbnail")

# One damaged file: prints "ok 0", "ok 1" or "FAIL reason" into its verdict file.
check_one() {
  local input=$1 kind=$2 option=$3
  local name; name=$(basename "$input")
  local outdir="$work/out/${name%.jpg}"
  mkdir -p "$outdir"
  local output="$outdir/result.jpg" log="$outdir/log" verdict
  local status=0
  # shellcheck disable=SC2086  # the kind and options are words on purpose
  timeout "$timeout" "$cli" $kind $option "$input" "$output" > "$log" 2>&1 || status=$?
  if [ "$status" -eq 124 ]; then verdict="FAIL timeout"
  elif grep -qE 'Sanitizer|runtime error:' "$log"; then verdict="FAIL sanitizer report"
  elif [ "$status" -ne 0 ] && [ "$status" -ne 1 ]; then verdict="FAIL exit status $status"
  elif [ "$status" -eq 1 ] && [ -n "$(ls -A "$outdir" | grep -v '^log$')" ]; then verdict="FAIL files left after a failure: $(ls "$outdir" | tr '\n' ' ')"
  elif [ "$status" -eq 0 ] && ! "$cli" -q --check "$output" > /dev/null 2>&1; then verdict="FAIL the result does not pass --check"
  else verdict="ok $status"
  fi
  echo "$verdict $name $kind $option" > "$work/verdicts/$name"
  if [ "${verdict%% *}" = ok ]; then
    rm -rf "$outdir"
  else
    mkdir -p "$keep"
    cp "$input" "$keep/"
    cp "$log" "$keep/${name%.jpg}.log"
  fi
  return 0
}
export -f check_one

start=$(date +%s)
i=0
for input in "$work"/in/*.jpg; do
  printf '%s\0%s\0%s\0' "$input" "${kinds[i % 6]}" "${options[(i / 6) % 4]}"
  i=$((i + 1))
done | xargs -0 -n 3 -P "$(nproc)" bash -c 'check_one "$@"' _
elapsed=$(( $(date +%s) - start ))

total=$(ls "$work/verdicts" | wc -l)
succeeded=$(cat "$work"/verdicts/* | grep -c '^ok 0' || true)
refused=$(cat "$work"/verdicts/* | grep -c '^ok 1' || true)
failures=$(cat "$work"/verdicts/* | grep '^FAIL' || true)
echo "mutate-corpus: $total damaged files through $cli in ${elapsed}s:" \
     "$succeeded transformed (results pass --check), $refused refused cleanly"
if [ -n "$failures" ]; then
  echo "$failures" | head -40 >&2
  echo "mutate-corpus: $(echo "$failures" | wc -l) runs broke a promise; inputs and messages in $keep" >&2
  exit 1
fi
