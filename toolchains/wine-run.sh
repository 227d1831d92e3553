#!/bin/sh
# Runs a Windows program under wine: 64-bit, headless, no prompts, no debugger.
# The prefix (~700 MB) is made once, ~10 s, and reused; set WINEPREFIX to move it.
: "${WINEPREFIX:=${XDG_CACHE_HOME:-$HOME/.cache}/tallyrig/wine64}"
export WINEPREFIX
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
# mscoree/mshtml off: no Mono/Gecko install prompt. winedbg off: a crash ends
# the process with its exception code instead of spending ~1 s on a backtrace
# (drop winedbg.exe=d from WINEDLLOVERRIDES to get one).
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree=;mshtml=;winedbg.exe=d}"
unset DISPLAY WAYLAND_DISPLAY

if [ ! -f "$WINEPREFIX/.tallyrig-ready" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  # Parallel ctest jobs must not initialise the same prefix twice.
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.tallyrig-ready" ]; then
      wine wineboot --init </dev/null >/dev/null 2>&1 9>&- && wineserver -w &&
        touch "$WINEPREFIX/.tallyrig-ready"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# The first wine process of a session starts wineserver and services.exe & co.,
# which inherit its stdout and keep it open until the server quits; ctest waits
# for EOF on that pipe, so tests would stall for the server's whole lifetime.
# Start them here with no caller pipes, and keep them warm between tests.
(
  flock 9
  # 9>&-: a daemon inheriting the lock fd would hold the lock for its lifetime.
  if wineserver -p"${TALLYRIG_WINE_LINGER:-30}" </dev/null >/dev/null 2>&1 9>&-; then
    wine cmd.exe /c exit </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$WINEPREFIX.lock"
# Under parallel load, about one wine start in a few thousand ends at once with status 1 and no
# output, before the program runs (none of ours exits 1 without saying why). Such a start is
# made once more; each is logged in $WINEPREFIX.retries. The output goes through files for it.
out=$(mktemp) && err=$(mktemp) || exit 125
trap 'rm -f "$out" "$err"' EXIT
for attempt in 1 2; do
  wine "$@" </dev/null >"$out" 2>"$err"
  status=$?
  if [ "$status" -ne 1 ] || [ -s "$out" ] || [ -s "$err" ] || [ "$attempt" -eq 2 ]; then
    break
  fi
  echo "$(date -u +%FT%TZ) wine $*: status 1 with no output; started again" >>"$WINEPREFIX.retries"
done
cat "$out"
cat "$err" >&2
exit "$status"
