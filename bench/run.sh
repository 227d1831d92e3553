#!/usr/bin/env bash
# Builds the benchmarks (the bench preset: Release, in build/bench) and runs them; the run ends
# with the tables that docs/performance.md keeps.
#   bench/run.sh              the measurement, about 40 seconds
#   bench/run.sh --smoke      every benchmark once, to prove they work; measures nothing
# Other arguments go to tallyrig-bench, for example --benchmark_filter=stat_event.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench --target tallyrig-bench
exec build/bench/bin/tallyrig-bench "$@"
