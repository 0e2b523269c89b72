#!/bin/sh
# The fuzz smoke CI runs: the fuzz preset's libFuzzer targets (and nothing
# else of that tree) built, then each run for SECONDS (default 60) starting
# from its regression corpus, tests/fuzz/regressions/<target>, which is only
# read. New inputs go to build/fuzz/smoke/<target>/. A crash, a sanitizer
# report, a leak or an input slower than 25 s ends the run with the input in
# build/fuzz/smoke/findings/ and fails the script.
#
#   sh tools/dev/fuzz_smoke.sh [SECONDS [TARGET...]]   (default: every target)
set -eu
cd "$(dirname "$0")/../.."
seconds=${1:-60}
[ $# -gt 0 ] && shift
smoke=build/fuzz/smoke

targets="$*"
if [ -z "$targets" ]; then
  for src in tests/fuzz/*_fuzz.cpp; do
    targets="$targets $(basename "$src" _fuzz.cpp)"
  done
fi

cmake --preset fuzz > /dev/null
# shellcheck disable=SC2046
cmake --build --preset fuzz --target $(for t in $targets; do printf 'fuzz_%s ' "$t"; done)

mkdir -p "$smoke/findings"
failed=
for t in $targets; do
  mkdir -p "$smoke/$t"
  # The slow-input limit is generous: CI shares the machine, and the
  # regression inputs include modules of 2^24 frames and more.
  if build/fuzz/tests/fuzz/fuzz_"$t" -max_total_time="$seconds" -timeout=25 -max_len=65536 \
       -print_final_stats=1 -artifact_prefix="$smoke/findings/$t-" \
       "$smoke/$t" "tests/fuzz/regressions/$t" > "$smoke/$t.log" 2>&1; then
    echo "fuzz smoke $t: $(grep -m1 'stat::number_of_executed_units' "$smoke/$t.log" | awk '{print $2}') inputs in ${seconds} s, no finding"
  else
    echo "fuzz smoke $t: FINDING (log $smoke/$t.log):"
    grep -E '^==[0-9]+==ERROR|runtime error|^SUMMARY|Test unit written' "$smoke/$t.log" | head -n 8
    failed="$failed $t"
  fi
done
if [ -n "$failed" ]; then
  echo "fuzz smoke: findings in$failed"
  exit 1
fi
