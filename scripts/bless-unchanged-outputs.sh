#!/usr/bin/env bash
# Writes again the saved copies that the unchanged-outputs test compares with, from the linux
# build. Only for a change that means to alter an output: read every difference first.
#   scripts/bless-unchanged-outputs.sh [BUILD_DIR]      default: build/linux
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build/linux}")
rm -rf tests/unchanged-outputs
cmake -DBLESS=ON -DHOST="$build/bin/tallyrig-host" -DPLUGIN="$build/bin/Tallyrig.so" \
  -DSTATS="$build/bin/tallyrig-stats" -DHISTORY="$build/bin/tallyrig-stats-history" \
  -DSCENARIOS="$PWD/scenarios" -DMORE_SCENARIOS="$PWD/tests/stats" -DSAVED="$PWD/tests/unchanged-outputs" \
  -DWORK_DIR="$build/tests/unchanged-outputs" -DFAKETIME="$(command -v faketime)" \
  -P tests/unchanged_outputs.cmake
git status --short tests/unchanged-outputs
