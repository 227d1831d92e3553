#!/usr/bin/env bash
# Fails when a C++ source differs from what clang-format makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
# Microsoft's STL in third_party/ stays as Microsoft wrote it.
git ls-files -z -- '*.cpp' '*.h' ':!third_party/' | xargs -0 clang-format --dry-run --Werror
echo "clang-format: clean"
