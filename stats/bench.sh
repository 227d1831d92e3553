#!/usr/bin/env bash
# How long tallyrig-stats takes over a long history, and how much memory: a made-up history of
# 1,000,000 matches over 3 years, every block three a side (six rows), six playlists (generated
# once, kept in build/bench/); the summary run 3 times (wall time and peak resident memory from
# GNU time), the CSV export and the HTML report once each, the report opened in headless
# Chromium with the browser test's probe (time from the start to its load event, when both
# charts are drawn, and what it drew, at 1280 and 420 pixels: the browser test's checks of width,
# points per series in every span, sorting and "show more"), and in the same run pandas over
# the same files with sep=", " and the python engine (Debian's python3-pandas; left out when
# missing).
# Measures only; judges nothing.
#   stats/bench.sh [MATCHES [RUNS]]      default: 1000000 3; builds the bench preset (Release)
#   stats/bench.sh --smoke BIN_DIR       1,000 matches, one run, binaries from BIN_DIR, no pandas
set -euo pipefail
[ -x /usr/bin/time ] || {
  echo "stats/bench.sh needs GNU time: install the Debian package time (scripts/install-deps.sh bench)" >&2
  exit 2
}
cd "$(dirname "$0")/.."

smoke=false
if [ "${1:-}" = --smoke ]; then
  smoke=true
  bin=${2:?--smoke needs the folder of tallyrig-stats and tallyrig-stats-history}
  matches=1000
  runs=1
  data=$(mktemp -d)
  trap 'rm -rf "$data"' EXIT
else
  matches=${1:-1000000}
  runs=${2:-3}
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target tallyrig-stats tallyrig-stats-history >/dev/null
  bin=build/bench/bin
  data=build/bench/stats-history-$matches
fi
if [ ! -d "$data/Tallyrig" ]; then
  # 1,093 days from 2022-01-03 to 2024-12-31: three calendar years of files.
  "$bin/tallyrig-stats-history" --data-dir "$data" --matches "$matches" --seed 1 --start 2022-01-03 \
    --days 1093 --dense
fi
files=$(find "$data/Tallyrig" -name '*.csv' | wc -l)
bytes=$(find "$data/Tallyrig" -name '*.csv' -exec cat {} + | wc -c)
years=$(find "$data/Tallyrig" -mindepth 1 -maxdepth 1 -type d | wc -l)
echo "history: $matches matches in $files files over $years years, $((bytes / 1048576)) MiB"

out=$(mktemp -d)
times=()
peak=0
for ((run = 1; run <= runs; run++)); do
  /usr/bin/time -f '%e %M' -o "$out/time" "$bin/tallyrig-stats" --data-dir "$data" >"$out/summary" 2>"$out/err"
  read -r seconds kib <"$out/time"
  times+=("$seconds")
  [ "$kib" -gt "$peak" ] && peak=$kib
done
sorted=$(printf '%s\n' "${times[@]}" | sort -n | tr '\n' ' ')
median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
echo "tallyrig-stats summary: median $median s over $runs runs ($sorted), peak memory $((peak / 1024)) MiB"
/usr/bin/time -f '%e %M' -o "$out/time" "$bin/tallyrig-stats" --data-dir "$data" --csv "$out/export.csv" >/dev/null 2>&1
read -r seconds kib <"$out/time"
echo "tallyrig-stats --csv: $seconds s, peak memory $((kib / 1024)) MiB, $(($(wc -l <"$out/export.csv") - 1)) rows"

/usr/bin/time -f '%e %M' -o "$out/time" "$bin/tallyrig-stats" --data-dir "$data" --html "$out/report.html" >/dev/null 2>&1
read -r seconds kib <"$out/time"
echo "tallyrig-stats --html: $seconds s, peak memory $((kib / 1024)) MiB, $(($(wc -c <"$out/report.html") / 1024)) KiB"

chromium=$(command -v chromium || command -v chromium-browser || true)
if ! $smoke && [ -n "$chromium" ]; then
  # The probe right after the charset, before the policy, as the browser test puts it.
  probe=tests/stats/report_probe.html
  charset='<meta charset="utf-8">'
  awk -v probe="$probe" -v charset="$charset" '
    { print } $0 == charset && !done { while ((getline line < probe) > 0) print line; done = 1 }
  ' "$out/report.html" >"$out/probed.html"
  browse() {
    rm -rf "$out/profile"
    "$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
      --disable-background-networking --disable-component-update --disable-sync \
      --user-data-dir="$out/profile" --window-size=1280,1600 "$@" \
      --dump-dom "file://$out/probed.html" 2>/dev/null || true
  }
  # On the real clock: the page dumped as soon as it has loaded, the charts drawn before that.
  start=$(date +%s.%N)
  loaded=$(browse | sed -n 's/.*<pre id="probe-loaded">\([0-9]*\)<\/pre>.*/\1/p')
  end=$(date +%s.%N)
  echo "headless Chromium: load event (every chart drawn before it) ${loaded:-?} ms after the" \
    "page's start; the whole run, browser start and exit included, $(echo "$end - $start" | bc) s"
  # What the probe found once the page had settled, in a frame as wide as a laptop's and a
  # phone's screen, as the browser test opens it (Chromium's window is no narrower than 500).
  for width in 1280 420; do
    cat >"$out/frame.html" <<FRAME
<!DOCTYPE html>
<html><body style="margin:0"><iframe src="probed.html" style="border:0;width:${width}px;height:1500px"></iframe><script>
window.addEventListener('message', function (event) {
  var out = document.createElement('pre');
  out.id = 'probe-result';
  out.textContent = event.data;
  document.body.appendChild(out);
});
</script></body></html>
FRAME
    rm -rf "$out/profile"
    found=$("$chromium" --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
      --disable-background-networking --disable-component-update --disable-sync \
      --user-data-dir="$out/profile" --window-size=1400,1600 --virtual-time-budget=20000 \
      --dump-dom "file://$out/frame.html" 2>/dev/null |
      sed -n 's/.*<pre id="probe-result">\([^<]*\)<\/pre>.*/\1/p' | sed 's/&quot;/"/g')
    charts=$(printf '%s' "$found" | { grep -o '"id":"[a-z-]*","chart":true,"points":[0-9]*,"mostPerSeries":[0-9]*' || true; } |
      sed 's/"chart":true,//' | tr '\n' ' ')
    spans=$(printf '%s' "$found" | { grep -o '"span":"[a-z0-9 ]*","mostPerSeries":[0-9]*' || true; } |
      sed 's/"span"://; s/,"mostPerSeries":/ /' | tr '\n' ' ')
    problems=$(printf '%s' "$found" | sed -n 's/.*"problems":\(\[[^]]*\]\).*/\1/p')
    sorting=$(printf '%s' "$found" | sed -n 's/.*"sortFailures":\(\[[^]]*\]\).*/\1/p')
    page=$(printf '%s' "$found" | sed -n 's/.*"pageWidth":\([0-9]*\),"viewWidth":\([0-9]*\).*/\1 in a view of \2/p')
    rows=$(printf '%s' "$found" | sed -n 's/.*"matchRows":\([0-9]*\),"afterMore":\([0-9]*\).*/\1, after "show more" \2/p')
    echo "headless Chromium at $width px, settled: page ${page:-?} px wide; charts ${charts:-none};" \
      "most points in a series per span: ${spans:-?}; match rows ${rows:-?}; sorting failures" \
      "${sorting:-?}; problems ${problems:-?}"
  done
fi

if ! $smoke && /usr/bin/python3 -c 'import pandas' 2>/dev/null; then
  /usr/bin/python3 - "$data" "$out/export.csv" <<'PYTHON'
import glob, resource, sys, time
import pandas

data, export = sys.argv[1], sys.argv[2]
files = sorted(glob.glob(data + "/Tallyrig/*/*.csv"))
try:
    pandas.read_csv(files[0], sep=", ", engine="python")
    plain = "reads the first file"
except Exception as error:
    plain = "fails on the first file: " + str(error).splitlines()[0]
start = time.perf_counter()
rows = 0
for name in files:
    # As above, but skipping the lines it cannot split, so that it gets through every file.
    rows += len(pandas.read_csv(name, sep=", ", engine="python", on_bad_lines="skip"))
seconds = time.perf_counter() - start
peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss // 1024
print(f'pandas.read_csv(sep=", ", engine="python"): {plain}')
print(f'pandas.read_csv(sep=", ", engine="python", on_bad_lines="skip") over the same files: '
      f"{seconds:.2f} s, peak memory {peak} MiB (the whole process), {rows} rows "
      "(repeated headers included, split names dropped)")
start = time.perf_counter()
frame = pandas.read_csv(export)
seconds = time.perf_counter() - start
print(f"pandas.read_csv(export.csv) with default options: {seconds:.2f} s, {len(frame)} rows, "
      f"{len(frame.columns)} columns, is_player {frame['is_player'].dtype}, mmr {frame['mmr'].dtype}")
PYTHON
elif ! $smoke; then
  echo "pandas: python3-pandas is not installed; left out"
fi
rm -rf "$out"
