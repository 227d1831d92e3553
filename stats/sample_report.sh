#!/usr/bin/env bash
# Writes the sample history (300 matches, seed 7, as the browser test uses), its report, and the
# screenshot of it that the README shows (docs/stats-report.png). Needs Chromium.
#   stats/sample_report.sh [OUT_DIR]       default: build/sample-report
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/sample-report}
cmake --preset linux >/dev/null
cmake --build --preset linux --target tallyrig-stats tallyrig-stats-history
rm -rf "$out"
build/linux/bin/tallyrig-stats-history --data-dir "$out/data" --matches 300 --seed 7
build/linux/bin/tallyrig-stats --data-dir "$out/data" --html "$out/report.html"
# As root Chromium runs only without its sandbox; the report reaches nothing outside itself.
chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
  --disable-background-networking --disable-component-update --disable-sync \
  --user-data-dir="$out/profile" --hide-scrollbars --window-size=1280,1500 \
  --screenshot="$PWD/docs/stats-report.png" "file://$PWD/$out/report.html" 2>/dev/null
echo "report: $out/report.html; screenshot: docs/stats-report.png"
