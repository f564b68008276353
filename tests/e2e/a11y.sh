#!/usr/bin/env bash
# What a screen reader finds: the installer on a private session bus with the
# accessibility bus, walked by keyboard through its four pages, the folder
# question and the directory chooser; at each step a11y.py reads the tree
# (roles, names, keys, one page showing, the focused control).
#   a11y.sh INSTALLER [TVO-PACK UNRAR-LIBRARY]
# With tvo-pack and the library, the progress page is read from an installer
# with a long run, made of the installed uninstaller (the same program
# without its payload); without them it is not read.
if [ -z "${A11Y_SESSION:-}" ]; then
  command -v dbus-run-session >/dev/null || { echo "FAIL: dbus-run-session missing (package dbus)" >&2; exit 1; }
  A11Y_SESSION=1 exec dbus-run-session -- bash "$0" "$@"
fi
source "$(dirname "$0")/lib.sh"
exe="$(readlink -f "$1")"
pack="${2:-}"
library="${3:-}"
launcher=/usr/libexec/at-spi-bus-launcher
walker=(/usr/bin/python3 "$(dirname "$0")/a11y.py")
[ -x "$launcher" ] || fail "$launcher missing (package at-spi2-core)"
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || fail "pyatspi missing (package python3-pyatspi)"
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
start_xvfb 1024x768
"$launcher" --launch-immediately >"$E2E_TMP/bus.log" 2>&1 &
BUS_PID=$!
trap 'rc=$?; kill $BUS_PID 2>/dev/null || true; (exit $rc); e2e_cleanup' EXIT
for _ in $(seq 50); do
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null 2>&1 && break
  sleep 0.1
done

steps=0
read_step() { # STEP: the tree must match; kept in the test's folder
  "${walker[@]}" "$1" "$E2E_TMP/tree-$1.txt" || fail "step $1 (tree in $E2E_TMP/tree-$1.txt)"
  steps=$((steps + 1))
  [ -z "${A11Y_TREES:-}" ] || cp "$E2E_TMP/tree-$1.txt" "$A11Y_TREES/"
}

home="$E2E_TMP/home"
mkdir -p "$home/TVO-DEMO" # the folder exists: the wizard asks before it installs there
HOME="$home" XDG_CONFIG_HOME="$home/.config" "$exe" & APP_PID=$!
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
read_step page1
type_key "$win" Return
read_step page2
type_key "$win" Tab
read_step page2-tab
type_key "$win" shift+Tab
read_step page2
type_key "$win" alt+w
dlg="$(wait_window 'Wybór katalogu docelowego' 10)" || fail "Alt+W did not open the chooser"
read_step chooser
type_key "$dlg" Tab
read_step chooser-tab
type_key "$dlg" alt+k
read_step chooser-tree
type_key "$dlg" Escape
sleep 0.3
xdotool windowfocus --sync "$win" # no window manager gives the wizard back its focus
read_step page2
type_key "$win" Return
box="$(wait_window 'Potwierdź' 10)" || fail "no question about the existing folder"
read_step confirm
type_key "$box" Return # Tak
for _ in $(seq 300); do
  [ -f "$home/Desktop/Tavro 2010 DEMO.desktop" ] && break
  sleep 0.1
done
sleep 0.5
read_step page4
type_key "$win" Escape
wait_exit "$APP_PID" 10
[ "$RC" = 0 ] || fail "exit code $RC after the last page"

if [ -n "$pack" ]; then
  [ -x "$home/TVO-DEMO/ODINSTALUJ.EXE" ] || fail "no uninstaller installed to make the long installer of"
  cp "$home/TVO-DEMO/ODINSTALUJ.EXE" "$E2E_TMP/plain"
  BIG_FILES=3000 make_big_installer "$E2E_TMP/plain" "$pack" "$library" "$home/TVO-DEMO/TVODEMO.EXE" \
    "$E2E_TMP/big/setup" >/dev/null
  start_install "$E2E_TMP/big/setup" "$E2E_TMP/home2"
  read_step page3
  kill "$APP_PID" # the run stops at its next file
  wait_exit "$APP_PID" 20
fi
echo "ok: $steps steps read from the accessibility bus"
