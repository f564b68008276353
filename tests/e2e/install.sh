#!/usr/bin/env bash
# The demo installer end to end: Enter through the pages into C:\TVO-DEMO\
# (a fresh home folder), every file extracted, no temporary files left, the
# desktop entry written, and "Dalej" starting the installed program with
# katCD= and exactly the target as its current folder.
source "$(dirname "$0")/lib.sh"
exe="$1"
start_xvfb 1024x768
home="$E2E_TMP/home"
mkdir -p "$home"
report="$E2E_TMP/report.txt"
HOME="$home" XDG_CONFIG_HOME="$home/.config" TVODEMO_REPORT="$report" "$exe" & APP_PID=$!
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
type_key "$win" Return   # page 2
sleep 0.3
type_key "$win" Return   # accept C:\TVO-DEMO\ and install
for _ in $(seq 300); do
  [ -f "$home/Desktop/Tavro 2010 DEMO.desktop" ] && break
  sleep 0.1
done
[ -f "$home/Desktop/Tavro 2010 DEMO.desktop" ] || fail "no desktop entry after the installation"
sleep 0.5
target="$home/TVO-DEMO"
[ -x "$target/TVODEMO.EXE" ] || fail "TVODEMO.EXE not installed or not executable"
[ ! -e "$target/TVO-DEMO.RAR" ] || fail "temporary archive left behind"
[ ! -e "$target/TVOUNRAR.DLL" ] || fail "temporary library left behind"
files="$(find "$target" -type f | wc -l)"
[ "$files" -gt 100 ] || fail "only $files files installed"
desktop-file-validate "$home/Desktop/Tavro 2010 DEMO.desktop" || fail "desktop entry does not validate"
grep -qx 'Name=Tavro 2010 DEMO' "$home/Desktop/Tavro 2010 DEMO.desktop" || fail "desktop entry's Name= line"
import -window root "$E2E_TMP/page4.png"
type_key "$win" Return   # Dalej: close and start the program
wait_exit "$APP_PID" 10; rc=$RC
[ "$rc" = 0 ] || fail "installer exit code $rc"
for _ in $(seq 100); do [ -s "$report" ] && break; sleep 0.1; done
[ -s "$report" ] || fail "installed program did not start"
# The program was started detached; the folder goes only after it has ended.
wait_no_process_in "$target" 10
printf 'cwd=%s\narg0=%s\narg1=katCD=%s\n' "$target" "$target/TVODEMO.EXE" "$(dirname "$(readlink -f "$exe")")" \
  | cmp -s - "$report" || { cat "$report"; fail "program not started as TVODEMO.EXE katCD=<installer folder> in the target"; }
echo "ok: installed $files files, program started"
