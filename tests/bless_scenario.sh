#!/usr/bin/env bash
# Writes a scenario case's expected files from what the current build does, for a new case.
# Read every file it writes before committing it: a golden file is only as right as its review.
#   tests/bless_scenario.sh BUILD_DIR CASE_NAME
set -euo pipefail
build=$1
case_dir=$(cd "$(dirname "$0")/scenarios/$2" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

plugin="$build/bin/Tallyrig.so"
if [ -f "$case_dir/plugin" ]; then
  choice=$(cat "$case_dir/plugin")
  case "$choice" in
    module:*) plugin="$build/bin/${choice#module:}.so" ;;
    file:*) plugin="$case_dir/${choice#file:}" ;;
  esac
fi
[ -f "$case_dir/scenario.json" ] || { echo "bless only single-run cases; write runs.txt cases by hand" >&2; exit 2; }

status=0
"$build/bin/tallyrig-host" --plugin "$plugin" --data-dir "$work/data" "$case_dir/scenario.json" \
  >"$work/out" 2>"$work/err" || status=$?
sed -e "s|$plugin|PLUGIN|g" -e "s|$case_dir/|CASE/|g" -e "s|$work/data|DATA|g" "$work/err" >"$work/err.n"
rm -f "$case_dir"/expected-stdout "$case_dir"/expected-stderr "$case_dir"/expected-exit
rm -rf "$case_dir/expected-data"
[ -s "$work/out" ] && cp "$work/out" "$case_dir/expected-stdout"
[ -s "$work/err.n" ] && cp "$work/err.n" "$case_dir/expected-stderr"
[ "$status" -ne 0 ] && echo "$status" >"$case_dir/expected-exit"
if [ -d "$work/data" ]; then
  (cd "$work/data" && find . -type f) | while read -r file; do
    target=$(echo "$file" | sed -E 's|^\./Tallyrig/[0-9]{4}/|Tallyrig/YEAR/|; s|^\./||')
    mkdir -p "$case_dir/expected-data/$(dirname "$target")"
    sed -E 's|[0-9]{2}/[0-9]{2}/[0-9]{4} [0-9]{2}:[0-9]{2}|MM/DD/YYYY hh:mm|g' "$work/data/$file" \
      >"$case_dir/expected-data/$target"
  done
fi
echo "wrote the expected files of $2; review them"
