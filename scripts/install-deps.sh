#!/usr/bin/env bash
# Installs the Debian packages a job needs, and nothing when they are all there.
#   scripts/install-deps.sh build   what building and running the demo needs
#   scripts/install-deps.sh bench   what building the demo needs, plus the benchmarks and valgrind
#   scripts/install-deps.sh test    everything scripts/test.sh runs: all of the above, the cross
#                                   builds (mingw-w64; clang-cl 19 with wine's headers for the
#                                   MSVC ABI), wine and the test tools
set -euo pipefail

# One list per command: what its stages use, each package once with the reason.
build_packages=(cmake ninja-build g++ libfmt-dev nlohmann-json3-dev libgtest-dev libcli11-dev
  libjs-chart.js)
# The benchmarks, callgrind's instruction counts (valgrind brings valgrind/callgrind.h) and GNU
# time, which stats/bench.sh reads the peak memory from.
bench_packages=("${build_packages[@]}" libbenchmark-dev valgrind time)
# scripts/test.sh: the format check, faketime for the clock cases, the mingw build and wine to run
# it, clang with libFuzzer for the fuzz preset, Chromium for the report's browser test, clang-cl
# 19's tools and wine's headers for the MSVC ABI build, and the benchmark build (bench_packages).
test_packages=("${bench_packages[@]}" clang-format faketime g++-mingw-w64-x86-64-posix wine wine64
  clang libclang-rt-14-dev chromium clang-19 lld-19 llvm-19 libwine-dev zip)

case "${1:-build}" in
  build) wanted=("${build_packages[@]}") ;;
  test) wanted=("${test_packages[@]}") ;;
  bench) wanted=("${bench_packages[@]}") ;;
  *) echo "usage: $0 build|test|bench" >&2; exit 2 ;;
esac

missing=()
for package in "${wanted[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
