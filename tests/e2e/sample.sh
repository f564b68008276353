#!/usr/bin/env bash
# The sample installed program: no Qt library among what it needs; its window
# (class TVODEMO, for the desktop entry's StartupWMClass) shows the arguments
# and the current folder; Escape ends it; without a display it fails cleanly.
source "$(dirname "$0")/lib.sh"
exe="$1"
needed="$(readelf -d "$exe" | grep NEEDED)"
grep -qi qt <<<"$needed" && fail "needs Qt: $needed"
start_xvfb 1024x768
folder="$E2E_TMP/Wylicznik zażółć"
mkdir -p "$folder"
(cd "$folder" && exec "$exe" "katCD=/media/płyta" second) & APP_PID=$!
win="$(wait_window 'Tavro 2010 DEMO' 10)" || fail "no window"
xdotool search --class '^TVODEMO$' | grep -qx "$win" || fail "window class is not TVODEMO"
xdotool search --classname '^TVODEMO$' | grep -qx "$win" || fail "window instance name is not TVODEMO"
sleep 0.3
import -window "$win" "$E2E_TMP/sample.png"
# Text is drawn: dark pixels on the white window, line after line.
dark="$(convert "$E2E_TMP/sample.png" -threshold 50% -negate -format '%[fx:int(mean*w*h+0.5)]' info:)"
[ "$dark" -gt 500 ] || fail "only $dark dark pixels: no text drawn"
type_key "$win" Escape
wait_exit "$APP_PID" 5; rc=$RC
[ "$rc" = 0 ] || fail "exit code $rc after Escape"
# The report mode keeps its lines for the tests that start the program.
(cd "$folder" && TVODEMO_REPORT="$E2E_TMP/report.txt" "$exe" "katCD=/media/płyta")
printf 'cwd=%s\narg0=%s\narg1=katCD=/media/płyta\n' "$folder" "$exe" | cmp - "$E2E_TMP/report.txt" \
  || fail "report differs: $(cat "$E2E_TMP/report.txt")"
rc=0; DISPLAY= "$exe" 2>"$E2E_TMP/err.txt" || rc=$?
[ "$rc" = 1 ] && grep -q "cannot open the display" "$E2E_TMP/err.txt" || fail "without a display: exit $rc"
echo "ok: sample program"
