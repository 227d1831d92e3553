#!/usr/bin/env bash
# Writes the sample history (5,000 matches over 19 months, seed 7, as the browser test makes
# it), its report, and the screenshots of it that the README and docs/stats.md show: the report
# at a laptop's 1280 pixels (docs/stats-report.png) and a phone's 420 (docs/stats-report-phone.png),
# and each part of it at 1280 (docs/stats-report-<part>.png). Needs Chromium.
#   stats/sample_report.sh [OUT_DIR]       default: build/sample-report
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/sample-report}
cmake --preset linux >/dev/null
cmake --build --preset linux --target tallyrig-stats tallyrig-stats-history
rm -rf "$out"
build/linux/bin/tallyrig-stats-history --data-dir "$out/data" --matches 5000 --days 580 --seed 7
build/linux/bin/tallyrig-stats --data-dir "$out/data" --html "$out/report.html"

shot() { # WIDTH HEIGHT PNG URL
  rm -rf "$out/profile"
  # As root Chromium runs only without its sandbox; the report reaches nothing outside itself.
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --allow-file-access-from-files --user-data-dir="$out/profile" --hide-scrollbars \
    --window-size="$1,$2" --virtual-time-budget=5000 --screenshot="$PWD/$3" "$4" 2>/dev/null
}
shot 1280 1500 docs/stats-report.png "file://$PWD/$out/report.html"
# Each part: the report in a frame scrolled to the part's heading. The phone's width in a frame
# too: Chromium's window is no narrower than 500 pixels, and a narrower shot only cuts it.
cat >"$out/part.html" <<'PAGE'
<!DOCTYPE html>
<html><body style="margin:0;overflow:hidden"><iframe id="report" src="report.html" style="border:0;width:100vw;height:100vh"></iframe><script>
// part.html?HEADING-ID#WIDTH
if (location.hash) document.getElementById('report').style.width = location.hash.slice(1) + 'px';
document.getElementById('report').addEventListener('load', function () {
  var report = document.getElementById('report').contentWindow;
  var heading = report.document.getElementById(location.search.slice(1));
  if (heading) report.scrollTo(0, heading.getBoundingClientRect().top + report.scrollY - 8);
});
</script></body></html>
PAGE
shot 420 2600 docs/stats-report-phone.png "file://$PWD/$out/part.html?top#420"
shot 1280 640 docs/stats-report-charts.png "file://$PWD/$out/part.html?top"
for part in per-playlist mmr-change met-most-often latest-matches; do
  shot 1280 700 "docs/stats-report-$part.png" "file://$PWD/$out/part.html?$part"
done
echo "report: $out/report.html; screenshots: docs/stats-report.png, docs/stats-report-phone.png," \
  "docs/stats-report-{charts,per-playlist,mmr-change,met-most-often,latest-matches}.png"
