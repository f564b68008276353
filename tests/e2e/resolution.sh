#!/usr/bin/env bash
# A screen narrower than 800 pixels: the start-up error, no wizard, exit code 1.
source "$(dirname "$0")/lib.sh"
exe="$1"
start_xvfb 799x600
"$exe" & APP_PID=$!
box="$(wait_window 'Błąd przy uruchamianiu programu !' 15)" || fail "no start-up error box"
xdotool search --name 'Instalacja DEMO Wylicznika TAVRO 2010' >/dev/null 2>&1 && fail "wizard window exists"
type_key "$box" Return
wait_exit "$APP_PID" 10; rc=$RC
[ "$rc" = 1 ] || fail "exit code $rc, expected 1"
echo "ok: resolution refused"
