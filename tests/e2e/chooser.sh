#!/usr/bin/env bash
# The folder page by keyboard: Alt+W opens the directory chooser at the typed
# folder, Esc leaves the folder as it was, Enter takes the chosen folder and
# the wizard appends TVO-DEMO\; the installation then lands there.
source "$(dirname "$0")/lib.sh"
exe="$1"
start_xvfb 1024x768
home="$E2E_TMP/home"
mkdir -p "$home/TVO-DEMO"
HOME="$home" XDG_CONFIG_HOME="$home/.config" "$exe" & APP_PID=$!
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
type_key "$win" Return                      # page 2
sleep 0.3
type_key "$win" alt+w
dlg="$(wait_window 'Wybór katalogu docelowego' 10)" || fail "Alt+W did not open the chooser"
type_key "$dlg" Escape
sleep 0.5
xdotool search --onlyvisible --name '^Wybór katalogu docelowego$' >/dev/null 2>&1 && fail "Esc left the chooser open"
type_key "$win" alt+w
dlg="$(wait_window 'Wybór katalogu docelowego' 10)" || fail "chooser did not open again"
sleep 0.3
type_key "$dlg" alt+k                       # "Wybierz katalog:" takes the focus to the tree
type_key "$dlg" Return                      # take C:\TVO-DEMO\, where it opened
sleep 0.5
type_key "$win" Return                      # accept C:\TVO-DEMO\TVO-DEMO\ and install
for _ in $(seq 300); do
  [ -f "$home/Desktop/Tavro 2010 DEMO.desktop" ] && break
  sleep 0.1
done
[ -x "$home/TVO-DEMO/TVO-DEMO/TVODEMO.EXE" ] || fail "not installed into the chosen folder + TVO-DEMO"
type_key "$win" Escape
wait_exit "$APP_PID" 10; rc=$RC
[ "$rc" = 0 ] || fail "exit code $rc"
echo "ok: chooser by keyboard, installed into the chosen folder"
