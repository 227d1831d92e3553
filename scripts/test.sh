#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the format check, the Linux build,
# the sanitizer build, the Windows build under wine and the MSVC ABI build under wine. Warnings
# are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

# Each stage's line says when it started, in seconds since the command began.
stage() { printf '\n==== %s (at %d s)\n' "$*" "$SECONDS"; }

# The Windows tests run under wine; its server is stopped at the end so nothing lingers.
stop_wine() {
  if command -v wineserver >/dev/null 2>&1; then
    WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/tallyrig/wine64}" wineserver -k \
      2>/dev/null || true
  fi
}
trap stop_wine EXIT

stage "format check"
scripts/check-format.sh

for preset in linux-ci linux-asan-ci windows-ci msvc-abi-ci; do
  stage "$preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  stage "$preset: tests"
  ctest --preset "$preset"
done

stage "fuzz targets: build with clang and libFuzzer, then run each over its seed inputs once"
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
ctest --preset fuzz

stage "benchmarks: build, then run each once (nothing is timed or judged here)"
cmake --preset linux-ci -DTALLYRIG_BUILD_BENCHMARKS=ON >/dev/null
cmake --build --preset linux-ci --target tallyrig-bench tallyrig-count
build/linux-ci/bin/tallyrig-bench --smoke
build/linux-ci/bin/tallyrig-count
stats/bench.sh --smoke build/linux-ci/bin
stage "done"
