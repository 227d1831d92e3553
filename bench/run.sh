#!/usr/bin/env bash
# Builds the benchmarks (the bench preset: Release, in build/bench) and measures every hook
# handler against its floor, twice:
#   1. instruction counts, taken by callgrind (tallyrig-count). They are the same on every run of
#      the same build, whatever else the machine does, so the targets are judged on them;
#   2. times and allocation counts (tallyrig-bench), paired rounds against the same floors. Times
#      move with the machine; they are reported, not judged.
#
#   bench/run.sh              both, a minute or two once built
#   bench/run.sh --counts     the instruction counts only
#   bench/run.sh --smoke      every measurement once, without valgrind; measures nothing
# Other arguments go to tallyrig-bench, for example --benchmark_filter=stat_event.
# Exit status 1 when an instruction-count target is missed.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=all
case "${1:-}" in
  --counts) mode=counts; shift ;;
  --smoke) mode=smoke ;;
esac

scripts/install-deps.sh bench
cmake --preset bench >/dev/null
cmake --build --preset bench --target tallyrig-bench tallyrig-count

if [ "$mode" = smoke ]; then
  build/bench/bin/tallyrig-count
  exec build/bench/bin/tallyrig-bench --smoke
fi

# One callgrind run; each measurement dumps its counters under its own name. Collection is on
# only inside the handlers and the floors, not in the host's dispatch around them. The local time
# zone is fixed so that the clock's conversion costs the same everywhere.
calls=200
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
TZ=UTC valgrind --tool=callgrind --collect-atstart=no \
  --toggle-collect='Tallyrig::on*' --toggle-collect='SdkFloor::on*' \
  --toggle-collect='RawAppend::on*' --callgrind-out-file="$out/counts" \
  build/bench/bin/tallyrig-count >"$out/log" 2>&1 || {
  cat "$out/log" >&2
  exit 1
}

missed=0
report=$(
  for dump in "$out"/counts.*; do
    name=$(sed -n 's/^desc: Trigger: Client Request: //p' "$dump")
    total=$(sed -n 's/^summary: //p' "$dump")
    echo "$name $total"
  done | awk -v calls="$calls" '
    { total[$1] = $2 }
    function row(label, name, floorName, target,   h, f, ratio, verdict) {
      h = total[name "/handler"]; f = total[floorName "/floor"]
      if (h == "" || f == "" || f == 0) { print "| " label " | missing | | | |"; missed = 1; return }
      ratio = h / f
      if (target == "") verdict = "–"
      else if (ratio <= target + 0) verdict = sprintf("≤ %.2f: met", target)
      else { verdict = sprintf("≤ %.2f: MISSED by %.1f%%", target, (ratio / target - 1) * 100); missed = 1 }
      printf "| %s | %d | %d | %.3f | %s |\n", label, h / calls, f / calls, ratio, verdict
    }
    END {
      print "| handler | handler | floor | ratio | target |"
      print "|---|---:|---:|---:|---|"
      row("stat event, 2 players", "stat_event_2p", "stat_event_2p", "1.25")
      row("stat event, 6 players", "stat_event_6p", "stat_event_6p", "1.25")
      row("stat event, 8 players", "stat_event_8p", "stat_event_8p", "1.25")
      row("Demolish ticker, 8 players", "stat_ticker_demolish_8p", "stat_ticker_demolish_8p", "1.25")
      row("match-end export, 8 players", "match_end_8p", "match_end_8p", "3.00")
      row("game start, 8 players", "game_start_8p", "game_start_8p", "")
      row("rating notification", "rating", "rating", "")
      small = total["match_end_8p/handler"]; large = total["match_end_8p_100MiB/handler"]
      if (small == "" || large == "") missed = 1
      printf "\nExport into a 100 MiB file / into a small one: %d / %d instructions per export: %s\n", \
        large / calls, small / calls, small == large ? "the same" : "NOT the same"
      if (small != large) missed = 1
      exit missed
    }'
) || missed=1

cat <<TEXT

== Instruction counts per call (callgrind: each handler's and floor's own instructions, the SDK
   calls they make included; the export's floor is its SDK calls plus the raw append of its block)

$report

TEXT
[ "$missed" -eq 0 ] && echo "Every instruction-count target is met." ||
  echo "An instruction-count target is MISSED."

if [ "$mode" = all ]; then
  echo
  echo "== Times and allocations (paired rounds; times move with the machine and are not judged)"
  build/bench/bin/tallyrig-bench "$@"
fi
exit "$missed"
