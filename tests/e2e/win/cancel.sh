#!/usr/bin/env bash
# Cancelling the installation of a large payload under Wine: Esc and the
# window's close command (Alt+F4, what the close button sends) ask "Potwierdź";
# "Tak" stops the run at the next entry with exit code 4, both temporary
# files gone, what was extracted kept, no shortcut and nothing new in %TEMP%;
# "Nie" lets the run finish; Ctrl+C in the console that started --very-silent
# cancels as well. A page-3 screenshot is taken on the way.
#   usage: cancel.sh PLAIN-setup.exe TVO-PACK UNRAR.DLL TVODEMO.EXE
source "$(dirname "$0")/winlib.sh"
plain="$1" pack="$2" library="$3" program="$4"
start_wine
big="$E2E_TMP/big/setup.exe"
total="$(BIG_FILES=1500 make_big_installer "$plain" "$pack" "$library" "$program" "$big")"
link="Tavro 2010 DEMO.lnk"
temp_before="$(temp_listing)"

# key that asks | answer | exit code | target folder below C:
cases=(
  "Escape|Return|4|TVO-DEMO"
  "alt+F4|Return|4|ANULUJ-2"
  "Escape|n|0|ANULUJ-3"
)
n=0
for row in "${cases[@]}"; do
  IFS='|' read -r key answer code dir <<<"$row"
  n=$((n + 1))
  target="$WINEPREFIX/drive_c/$dir"
  start_setup "$big" "--dir=C:\\$dir\\"
  WIN="$(wait_window "$WIZARD" 30)" || fail "$key: no wizard window"
  wait_page "$WIN" 1 10
  type_key "$WIN" Return
  wait_page "$WIN" 2 10
  type_key "$WIN" Return
  # Extraction has begun once a file of the archive is there.
  for _ in $(seq 300); do
    [ -n "$(find "$target" -type f -name '*.DAT' 2>/dev/null | head -1)" ] && break
    sleep 0.1
  done
  [ -n "$(find "$target" -type f -name '*.DAT' 2>/dev/null | head -1)" ] || fail "$key: the extraction did not begin"
  if [ "$n" = 1 ]; then
    kill -STOP "$APP_PID"   # a still picture of the page at work
    sleep 0.3
    shot win-page3
    kill -CONT "$APP_PID"
  fi
  key_while_running "$key"
  ask="$(wait_window 'Potwierdź' 15)" || fail "$key: no question"
  type_key "$ask" "$answer"
  if [ "$code" = 0 ]; then
    wait_page "$WIN" 4 120
    type_key "$WIN" Escape   # leaves without starting the program
  fi
  wait_exit "$APP_PID" 60
  [ "$RC" = "$code" ] || fail "$key, $answer: exit code $RC, expected $code"
  for stray in TVO-DEMO.RAR TVOUNRAR.DLL; do
    [ ! -e "$target/$stray" ] || fail "$key, $answer: $stray left behind"
  done
  files="$(find "$target" -type f ! -name 'ODINSTALUJ.*' | wc -l)"
  if [ "$code" = 4 ]; then
    [ "$files" -gt 0 ] && [ "$files" -lt "$total" ] || fail "$key: $files of $total files in the target"
    [ ! -e "$WIN_DESKTOP/$link" ] && [ ! -e "$WIN_PROGRAMS/$link" ] || fail "$key: a shortcut of a cancelled run"
  else
    [ "$files" = "$total" ] || fail "$key, $answer: $files of $total files in the target"
    [ -e "$WIN_DESKTOP/$link" ] || fail "$key, $answer: no shortcut after the run went on"
    rm -f "$WIN_DESKTOP/$link" "$WIN_PROGRAMS/$link"
  fi
  temp_as_before "$temp_before" "$key, $answer"
  echo "$key, $answer: exit code $RC, $files of $total files"
done

# Ctrl+C in the console that started --very-silent: Wine turns a SIGINT of a
# program with a console into CTRL_C_EVENT for its handlers, as a terminal's
# Ctrl+C. The run stops as a cancel.
target="$WINEPREFIX/drive_c/ANULUJ-C"
wine cmd /c "$(winpath "$big") --very-silent --dir=C:\\ANULUJ-C" </dev/null >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
APP_PID=$!
for _ in $(seq 300); do
  [ -n "$(find "$target" -type f -name '*.DAT' 2>/dev/null | head -1)" ] && break
  sleep 0.1
done
[ -n "$(find "$target" -type f -name '*.DAT' 2>/dev/null | head -1)" ] || fail "Ctrl+C: the extraction did not begin"
setup_pid="$(wine_processes setup.exe)"
[ -n "$setup_pid" ] || fail "Ctrl+C: no installer process"
# Stopped meanwhile, so that a fast run cannot end between the look and the signal.
kill -STOP $setup_pid
kill -INT $setup_pid
sleep 0.1
kill -CONT $setup_pid
wait_exit "$APP_PID" 60
[ "$RC" = 4 ] || { cat "$E2E_TMP/err" >&2; fail "Ctrl+C: exit code $RC, expected 4"; }
for stray in TVO-DEMO.RAR TVOUNRAR.DLL; do
  [ ! -e "$target/$stray" ] || fail "Ctrl+C: $stray left behind"
done
files="$(find "$target" -type f ! -name 'ODINSTALUJ.*' | wc -l)"
[ "$files" -gt 0 ] && [ "$files" -lt "$total" ] || fail "Ctrl+C: $files of $total files in the target"
[ ! -e "$WIN_DESKTOP/$link" ] || fail "Ctrl+C: a shortcut of a cancelled run"
temp_as_before "$temp_before" "Ctrl+C"
echo "Ctrl+C: exit code 4, $files of $total files"
echo "ok: a confirmed close and Ctrl+C cancel (4) and clean up, a refused close lets the run finish"
