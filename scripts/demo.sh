#!/usr/bin/env bash
# Builds the plugin and the simulated host, replays a bundled match, shows what it wrote, and
# ends with tallyrig-stats' view of those files: over matches of several local players, each
# one's summary, then the report of the player of the most matches.
#   scripts/demo.sh [SCENARIO.json ...]     default: scenarios/doubles-ranked.json
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh build
cmake --preset linux >/dev/null
cmake --build --preset linux --target tallyrig-host tallyrig-stats

scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(scenarios/doubles-ranked.json)
data=build/demo-data
rm -rf "$data"

echo "== console lines of ${scenarios[*]}"
build/linux/bin/tallyrig-host --data-dir "$data" "${scenarios[@]}"
echo
echo "== statistics files written under $data"
find "$data" -type f -name '*.csv' | sort | while read -r file; do
  echo "-- $file"
  cat "$file"
done
echo
# The local player is the first row of each block: over matches of several local players, the
# summary of each, so that none of them seems lost.
mapfile -t players < <(find "$data" -type f -name '*.csv' -exec \
  awk -F', ' 'header { print $NF } { header = /^TEAM COLOR, / }' {} + | sort -u)
if [ ${#players[@]} -gt 1 ]; then
  echo "== ${#players[@]} local players in these matches; the summary of each (--player ID)"
  for player in "${players[@]}"; do
    echo
    echo "== tallyrig-stats --data-dir $data --player '$player'"
    build/linux/bin/tallyrig-stats --data-dir "$data" --player "$player"
  done
  echo
  echo "== tallyrig-stats --data-dir $data --html build/demo-report.html (its summary is above)"
  build/linux/bin/tallyrig-stats --data-dir "$data" --html build/demo-report.html >/dev/null
else
  echo "== tallyrig-stats --data-dir $data --html build/demo-report.html"
  build/linux/bin/tallyrig-stats --data-dir "$data" --html build/demo-report.html
fi
