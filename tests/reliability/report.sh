#!/usr/bin/env bash
# Runs every reliability check and prints the figures the README's "Reliability" section quotes:
# the fault sweep, the randomised scenarios, the bad scenario files, the block invariants (all
# built with AddressSanitizer and UndefinedBehaviorSanitizer, preset "reliability") and the fuzz
# targets (preset "fuzz", clang and libFuzzer).
#   tests/reliability/report.sh [FUZZ_SECONDS] [SEEDS]
# FUZZ_SECONDS per fuzz target, default 60; SEEDS of the randomised scenarios, default 1-200.
# Exits 1 when any check failed; the figures are printed either way.
set -uo pipefail
cd "$(dirname "$0")/../.."

fuzz_seconds=${1:-60}
seeds=${2:-1-200}
build=build/reliability
status=0

cmake --preset reliability >/dev/null || exit 1
cmake --build --preset reliability >/dev/null || exit 1

shm=${TMPDIR:-/tmp}
[ -d /dev/shm ] && shm=/dev/shm
sweep_log=$build/report-fault-sweep.log
TMPDIR=$shm "$build/bin/fault-sweep-test" >"$sweep_log" 2>&1 || status=1
sweep=$(grep '^fault sweep: ' "$sweep_log" || echo "fault sweep: did not finish, see $sweep_log")

random_log=$build/report-random-scenarios.log
random=$("$build/bin/random-scenarios" --host "$build/bin/tallyrig-host" \
  --plugin "$build/bin/Tallyrig.so" --work "$build/report-random" --seeds "$seeds" \
  2>"$random_log" | tail -1) || status=1
[ -n "$random" ] || random="randomised scenarios: did not finish, see $random_log"

# Each run of a bad-input case gives the host one bad file; the huge-scenario test adds one.
bad_files=1
bad_cases=0
for runs in tests/scenarios/bad-input-*/runs.txt; do
  bad_cases=$((bad_cases + 1))
  bad_files=$((bad_files + $(grep -c '^[^#]' "$runs")))
done
bad_log=$build/report-bad-inputs.log
ctest --preset reliability -R '^(scenario/bad-input-|huge-scenario)' >"$bad_log" 2>&1 || status=1
bad_failed=$(sed -n 's/.* \([0-9]*\) tests failed out of .*/\1/p' "$bad_log")
invariants_log=$build/report-block-invariants.log
"$build/bin/block-invariants-test" >"$invariants_log" 2>&1 || status=1
# Counted from the cases that passed: a sanitizer report ends the binary before its summary.
invariants_total=$("$build/bin/block-invariants-test" --gtest_list_tests | grep -c '^  ')
invariants_failed=$((invariants_total - $(grep -c '^\[       OK \]' "$invariants_log")))

fuzz=$(tests/fuzz/run.sh "$fuzz_seconds" 2>&1) || status=1

echo
echo "== Reliability figures (sanitizers on; logs in $build)"
echo "$sweep"
echo "$random"
echo "bad scenario files: $bad_files files in $((bad_cases + 1)) end-to-end tests," \
  "${bad_failed:-?} failing"
echo "block invariants: $invariants_total cases, $invariants_failed failing"
echo "$fuzz"
exit $status
