#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test: the format check, the Linux build,
# the sanitizer build and the Windows build under wine. Warnings are errors here.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh test

stage() { printf '\n==== %s\n' "$*"; }

stage "format check"
scripts/check-format.sh

for preset in linux-ci linux-asan-ci; do
  stage "$preset: build"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  stage "$preset: tests"
  ctest --preset "$preset"
done
