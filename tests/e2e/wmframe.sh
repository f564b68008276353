#!/usr/bin/env bash
# Under a window manager (openbox) the message box, frame and all, stands
# centred over the wizard's client area, and the wizard's screens are
# captured with and without the manager for a person to look at
# (E2E_SHOTS=folder keeps them). Closing the window through the manager on
# page 2 ends the program with exit code 0.
source "$(dirname "$0")/lib.sh"
exe="$1"
start_xvfb 1024x768
shots="${E2E_SHOTS:-$E2E_TMP}"
mkdir -p "$shots" "$E2E_TMP/home"

# frame_rect ID: "X Y W H" of the window with the manager's frame around it.
frame_rect() {
  local x y w h l r t b
  eval "$(xdotool getwindowgeometry --shell "$1")"
  x=$X y=$Y w=$WIDTH h=$HEIGHT
  read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= *//; s/,//g')
  echo $((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))
}

HOME="$E2E_TMP/home" "$exe" & APP_PID=$!
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
sleep 0.5
import -window root "$shots/page1-plain.png"
type_key "$win" Escape
wait_exit "$APP_PID" 10

openbox >"$E2E_TMP/openbox.log" 2>&1 & WM_PID=$!
trap 'kill "$WM_PID" 2>/dev/null || true; e2e_cleanup' EXIT
sleep 1
HOME="$E2E_TMP/home" "$exe" & APP_PID=$!
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
for _ in $(seq 50); do xprop -id "$win" _NET_FRAME_EXTENTS | grep -q '=' && break; sleep 0.1; done
xprop -id "$win" _NET_FRAME_EXTENTS | grep -q '=' || fail "the window manager did not frame the wizard"
sleep 0.5
import -window root "$shots/page1-wm.png"
type_key "$win" Return
sleep 0.3
type_key "$win" ctrl+a
xdotool key BackSpace
type_key "$win" Return
box="$(wait_window 'Błąd' 10)" || fail "no message box"
for _ in $(seq 50); do xprop -id "$box" _NET_FRAME_EXTENTS | grep -q '=' && break; sleep 0.1; done
sleep 0.5
import -window root "$shots/box-wm.png"
eval "$(xdotool getwindowgeometry --shell "$win")"
cx=$((X + WIDTH / 2)) cy=$((Y + HEIGHT / 2))
read -r bx by bw bh < <(frame_rect "$box")
dx=$((bx + bw / 2 - cx)) dy=$((by + bh / 2 - cy))
[ "${dx#-}" -le 1 ] && [ "${dy#-}" -le 1 ] \
  || fail "the framed box ($bx,$by ${bw}x$bh) is off the wizard's centre ($cx,$cy) by $dx,$dy"
type_key "$box" Return
sleep 0.3
type_key "$win" alt+F4                      # the manager's close: no question on page 2
wait_exit "$APP_PID" 10
[ "$RC" = 0 ] || fail "exit code $RC after closing page 2"
echo "ok: the framed message box is centred over the wizard; closed on page 2 with 0"
