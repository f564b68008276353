#!/usr/bin/env bash
# 800x600 shows the wizard; Enter goes to page 2; Esc ends with exit code 0.
source "$(dirname "$0")/lib.sh"
exe="$1"
start_xvfb 800x600
HOME="$E2E_TMP/home" "$exe" & APP_PID=$!
mkdir -p "$E2E_TMP/home"
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
sleep 0.5
read -r ox oy < <(window_origin "$win")
[ "$(pixel $((ox + 5)) $((oy + 5)))" = "#BB1600" ] || fail "page colour is $(pixel $((ox + 5)) $((oy + 5)))"
[ "$(pixel $((ox + 300)) $((oy + 470)))" = "#000000" ] || fail "hint bar is not black"
[ "$(pixel $((ox + 300)) $((oy + 298)))" != "#FFFFFF" ] || fail "page 1 shows the folder box"
type_key "$win" Return
sleep 0.5
[ "$(pixel $((ox + 300)) $((oy + 298)))" = "#FFFFFF" ] || fail "Enter did not show the folder box of page 2"
type_key "$win" Escape
wait_exit "$APP_PID" 10; rc=$RC
[ "$rc" = 0 ] || fail "exit code $rc, expected 0"
echo "ok: wizard pages 1-2, Esc closes"
