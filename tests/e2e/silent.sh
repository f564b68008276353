#!/usr/bin/env bash
# --silent: the installation page is the only page ever shown, and the run
# finishes by itself. The copy installer's folder holds a named pipe that the
# copy waits on, so the page can be looked at while the run is under way.
source "$(dirname "$0")/lib.sh"
demo_copy="$1"   # build/demo-copy: setup and TVO-DEMO/ beside it
start_xvfb 1024x768
medium="$E2E_TMP/medium"
mkdir -p "$medium"
cp "$demo_copy/setup" "$medium/setup"
cp -a "$demo_copy/TVO-DEMO" "$medium/TVO-DEMO"
mkfifo "$medium/TVO-DEMO/ZZ-CZEKAJ.DAT"
home="$E2E_TMP/home"
mkdir -p "$home"
title='Instalacja DEMO Wylicznika TAVRO 2010'
HOME="$home" XDG_CONFIG_HOME="$home/.config" TVODEMO_REPORT="$E2E_TMP/report.txt" \
  "$medium/setup" --silent --dir="C:\\PROGRAMY\\TVO-DEMO\\" 2>"$E2E_TMP/stderr" & APP_PID=$!

# From the start on, every sighting of the window shows page 3: the gauge
# area at (300, 150) of the client is the page's red on page 1 and 2.
win=""
for _ in $(seq 300); do
  win="$(xdotool search --onlyvisible --name "^$title\$" 2>/dev/null | head -1 || true)"
  [ -n "$win" ] && break
  kill -0 "$APP_PID" 2>/dev/null || fail "installer ended before a window appeared"
  sleep 0.05
done
[ -n "$win" ] || fail "no installation window"
read -r wx wy < <(window_origin "$win")
seen=0
# The run cannot end before the pipe gets a writer: look a few times.
while [ "$seen" -lt 5 ]; do
  gauge="$(pixel $((wx + 300)) $((wy + 150)))"
  [ "$gauge" != "#BB1600" ] || fail "a page without the gauge was shown ($gauge)"
  seen=$((seen + 1))
  sleep 0.2
done
n="$(xdotool search --name "^$title\$" 2>/dev/null | wc -l)"
[ "$n" = 1 ] || fail "$n wizard windows"
import -window root "$E2E_TMP/page3.png"
[ -n "${E2E_SHOTS:-}" ] && cp "$E2E_TMP/page3.png" "$E2E_SHOTS/silent-page3.png"
echo "dane" > "$medium/TVO-DEMO/ZZ-CZEKAJ.DAT"   # lets the copy go on
wait_exit "$APP_PID" 30; rc=$RC
[ "$rc" = 0 ] || { cat "$E2E_TMP/stderr"; fail "exit code $rc"; }
target="$home/PROGRAMY/TVO-DEMO"
[ -x "$target/TVODEMO.EXE" ] || fail "TVODEMO.EXE not installed"
[ "$(cat "$target/ZZ-CZEKAJ.DAT")" = dane ] || fail "the waiting file was not copied"
[ -f "$home/Desktop/Tavro 2010 DEMO.desktop" ] || fail "no desktop entry"
sleep 0.5
[ ! -e "$E2E_TMP/report.txt" ] || fail "the installed program was started"

# An existing folder without --overwrite: the error box alone, exit code 3,
# nothing changed.
home2="$E2E_TMP/home2"
mkdir -p "$home2/TVO-DEMO"
HOME="$home2" "$medium/setup" --silent 2>/dev/null & APP_PID=$!
box="$(wait_window 'Błąd' 15)" || fail "no error box for an existing folder"
xdotool search --onlyvisible --name "^$title\$" >/dev/null 2>&1 && fail "a wizard window with the error box"
type_key "$box" Return
wait_exit "$APP_PID" 10; rc=$RC
[ "$rc" = 3 ] || fail "existing folder: exit code $rc, expected 3"
[ -z "$(ls -A "$home2/TVO-DEMO")" ] || fail "existing folder: its content changed"
echo "ok: silent installation showed page 3 only ($seen looks) and finished; an existing folder ends with its box and 3"
