#!/usr/bin/env bash
# One key press runs one action, whatever box its handler opens: Enter on
# the folder page with an empty folder shows one box and none after it is
# answered; the overwrite question answered "Nie" comes once; Esc during the
# installation answered "Nie" lets it finish with no second question; Enter
# on the last page starts one program. Boxes and programs are counted by
# their windows.
source "$(dirname "$0")/lib.sh"
plain="$1" pack="$2" library="$3" program="$4"
start_xvfb 1024x768
wizard='Instalacja DEMO Wylicznika TAVRO 2010'

# no_second_box NAME: after the answer, no box so named comes back.
no_second_box() {
  sleep 1.5
  local n
  n="$(count_windows "$1")"
  [ "$n" = 0 ] || fail "$n box(es) '$1' after the answer"
}

# one_box NAME: exactly one box so named is shown; prints its id.
one_box() {
  local box n
  box="$(wait_window "$1" 15)" || fail "no box '$1'"
  sleep 0.5
  n="$(count_windows "$1")"
  [ "$n" = 1 ] || fail "$n boxes '$1' at once"
  echo "$box"
}

big="$E2E_TMP/big/setup"
make_big_installer "$plain" "$pack" "$library" "$program" "$big" >/dev/null

# Enter on page 2 with an empty folder.
home="$E2E_TMP/h1"
mkdir -p "$home"
HOME="$home" "$big" & APP_PID=$!
win="$(wait_window "$wizard" 15)" || fail "no wizard window"
type_key "$win" Return
sleep 0.3
type_key "$win" ctrl+a
xdotool key BackSpace
type_key "$win" Return
box="$(one_box 'Błąd')"
type_key "$box" Return
no_second_box 'Błąd'
# The overwrite question answered "Nie".
mkdir -p "$home/TVO-DEMO"
type_key "$win" ctrl+a
xdotool type 'C:\TVO-DEMO\'
type_key "$win" Return
box="$(one_box 'Potwierdź')"
type_key "$box" n
no_second_box 'Potwierdź'
[ -z "$(ls -A "$home/TVO-DEMO")" ] || fail "the refused folder was written to"
type_key "$win" Escape
wait_exit "$APP_PID" 10
[ "$RC" = 0 ] || fail "exit code $RC after Esc on page 2"
echo "page 2: one box per Enter"

# Esc during the installation answered "Nie", then Enter on page 4.
home="$E2E_TMP/h2"
start_install "$big" "$home"
wait_file "$home/TVO-DEMO/D0" 30 || fail "the extraction did not begin"
key_while_running Escape
box="$(one_box 'Potwierdź')"
type_key "$box" n
wait_file "$home/Desktop/Tavro 2010 DEMO.desktop" 120 || fail "the installation did not finish after 'Nie'"
[ "$(count_windows 'Potwierdź')" = 0 ] || fail "the close question came back"
kill -0 "$APP_PID" 2>/dev/null || fail "the installer ended after 'Nie'"
sleep 0.5
type_key "$WIN" Return
wait_exit "$APP_PID" 10
[ "$RC" = 0 ] || fail "exit code $RC after the installation"
wait_window 'Tavro 2010 DEMO' 15 >/dev/null || fail "the installed program did not start"
sleep 2
n="$(count_windows 'Tavro 2010 DEMO')"
for id in $(xdotool search --onlyvisible --name '^Tavro 2010 DEMO$'); do
  type_key "$id" Escape                     # the sample program ends on Escape
done
[ "$n" = 1 ] || fail "$n programs started by one Enter"
wait_no_process_in "$home/TVO-DEMO" 10
echo "ok: one key, one action"
