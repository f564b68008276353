#!/usr/bin/env bash
# SIGTERM, SIGINT and SIGHUP during the installation of a large payload act
# like a confirmed close: the run stops at the next entry, both temporary
# files go, what was extracted stays, exit code 4. On the folder page a signal
# ends the program at once with exit code 0 and no question.
source "$(dirname "$0")/lib.sh"
plain="$1" pack="$2" library="$3" program="$4"
start_xvfb 1024x768
big="$E2E_TMP/big/setup"
total="$(make_big_installer "$plain" "$pack" "$library" "$program" "$big")"
for sig in TERM INT HUP; do
  home="$E2E_TMP/home-$sig"
  target="$home/TVO-DEMO"
  start_install "$big" "$home"
  # Extraction has begun once a file of the archive is there (a folder alone
  # may have been made for an entry that is not written yet).
  for _ in $(seq 300); do
    [ -n "$(find "$target" -type f ! -name TVO-DEMO.RAR ! -name TVOUNRAR.DLL 2>/dev/null | head -1)" ] && break
    sleep 0.1
  done
  [ -n "$(find "$target" -type f ! -name TVO-DEMO.RAR ! -name TVOUNRAR.DLL 2>/dev/null | head -1)" ] \
    || fail "SIG$sig: the extraction did not begin"
  kill -s "$sig" "$APP_PID"
  wait_exit "$APP_PID" 30; rc=$RC
  [ "$rc" = 4 ] || fail "SIG$sig: exit code $rc, expected 4"
  [ ! -e "$target/TVO-DEMO.RAR" ] || fail "SIG$sig: temporary archive left behind"
  [ ! -e "$target/TVOUNRAR.DLL" ] || fail "SIG$sig: temporary library left behind"
  files="$(find "$target" -type f | wc -l)"
  [ "$files" -gt 0 ] && [ "$files" -lt "$total" ] || fail "SIG$sig: $files of $total files in the target"
  [ ! -e "$home/Desktop/Tavro 2010 DEMO.desktop" ] || fail "SIG$sig: desktop entry of a cancelled installation"
  echo "SIG$sig: stopped after $files of $total files, exit code 4"
done
for sig in TERM INT HUP; do
  home="$E2E_TMP/page2-$sig"
  mkdir -p "$home"
  env --default-signal=INT,HUP,TERM HOME="$home" "$plain" & APP_PID=$!
  win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
  type_key "$win" Return
  sleep 0.3
  kill -s "$sig" "$APP_PID"
  wait_exit "$APP_PID" 5; rc=$RC
  [ "$rc" = 0 ] || fail "SIG$sig on page 2: exit code $rc, expected 0"
  [ ! -e "$home/TVO-DEMO" ] || fail "SIG$sig on page 2 created the target"
done
echo "ok: signals cancel the run (exit 4) and end the other pages at once (exit 0)"
