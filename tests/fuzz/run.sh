#!/usr/bin/env bash
# Builds the fuzz preset and fuzzes each target for SECONDS (default 60), one after the other,
# starting from the seeds. Prints one line per target:
#   fuzz scenario-parser: 60 s, 1234567 executions, 0 crashes
# A crash leaves its input in build/fuzz/artifacts/; minimise it with
#   build/fuzz/bin/fuzz-TARGET -minimize_crash=1 -runs=10000 ARTIFACT
# and add it to tests/fuzz/regressions/. Exits 1 when a target crashed.
#   tests/fuzz/run.sh [SECONDS] [TARGET ...]      targets: scenario-parser replay statistics-reader
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -gt 0 ] || targets=(scenario-parser replay statistics-reader)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

build=build/fuzz
mkdir -p "$build/artifacts"
status=0
for target in "${targets[@]}"; do
  # A working corpus per target: libFuzzer adds what it finds to the first folder.
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  dictionary=(-dict=tests/fuzz/scenario.dict)
  if [ "$target" = statistics-reader ]; then
    seeds=(tests/stats/cli/data/Tallyrig/*/*.csv tests/fuzz/statistics-corpus/*)
    dictionary=()
  else
    seeds=(scenarios/*.json tests/fuzz/corpus/* tests/fuzz/regressions/*)
    while IFS= read -r -d '' file; do seeds+=("$file"); done \
      < <(find tests/scenarios -name '*.json' -print0)
  fi
  for seed in "${seeds[@]}"; do
    [ -f "$seed" ] && cp "$seed" "$corpus/seed-$(echo "$seed" | tr '/' '_')"
  done
  log="$build/fuzz-$target.log"
  result=0
  "$build/bin/fuzz-$target" "$corpus" "${dictionary[@]}" \
    -max_total_time="$seconds" -timeout=25 -print_final_stats=1 \
    -artifact_prefix="$build/artifacts/$target-" >"$log" 2>&1 || result=$?
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)
  crashes=0
  if [ "$result" -ne 0 ]; then
    crashes=1
    status=1
  fi
  echo "fuzz $target: $seconds s, ${executions:-0} executions, $crashes crashes"
  if [ "$crashes" -ne 0 ]; then
    grep -E "ERROR|runtime error|Test unit written|^replay:|^scenario parser:" "$log" | head -5 >&2
    # A regression input that still crashes is a known bug whose fix has not landed yet.
    artifact=$(sed -n "s/.*Test unit written to //p" "$log" | tail -1)
    for known in tests/fuzz/regressions/*; do
      if [ -n "$artifact" ] && cmp -s "$artifact" "$known"; then
        echo "  the crash is the regression input $known: its bug is not fixed yet" >&2
      fi
    done
  fi
done
exit $status
