#!/usr/bin/env bash
# The exit codes: 0 left on page 1 or installed, 3 an installation that failed
# with an error box (no folder to copy, a damaged payload), 4 one cancelled by
# the user (the close question on page 3 answered "Tak", "Anuluj" in the
# copy-failure question).
source "$(dirname "$0")/lib.sh"
plain="$1" pack="$2" library="$3" program="$4" demo="$5"
start_xvfb 1024x768

# expect CODE WHAT: waits for the installer to end and checks its code.
expect() {
  wait_exit "$APP_PID" 30
  [ "$RC" = "$1" ] || fail "$2: exit code $RC, expected $1"
  echo "$2: exit code $1"
}

# answer NAME KEY: waits for the box so named and answers it with the key.
answer() {
  local box
  box="$(wait_window "$1" 30)" || fail "no box '$1'"
  type_key "$box" "$2"
}

# Esc on page 1.
mkdir -p "$E2E_TMP/h1"
HOME="$E2E_TMP/h1" "$plain" & APP_PID=$!
win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
type_key "$win" Escape
expect 0 "Esc on page 1"

# A plain installer with no TVO-DEMO folder beside it.
mkdir -p "$E2E_TMP/nofolder"
cp "$plain" "$E2E_TMP/nofolder/setup"
start_install "$E2E_TMP/nofolder/setup" "$E2E_TMP/h2"
answer 'Błąd' Return
expect 3 "no folder to copy"

# A payload cut short, as by an interrupted download.
mkdir -p "$E2E_TMP/cut"
head -c "$(($(stat -c %s "$demo") - 100000))" "$demo" >"$E2E_TMP/cut/setup"
chmod +x "$E2E_TMP/cut/setup"
start_install "$E2E_TMP/cut/setup" "$E2E_TMP/h3"
answer 'Instalacja TAVRO DEMO' Return
expect 3 "damaged payload"
[ ! -e "$E2E_TMP/h3/TVO-DEMO/TVOUNRAR.DLL" ] || echo "note: damaged payload left TVOUNRAR.DLL"

# "Anuluj" when a file cannot be copied: SUB is a file in the target.
mkdir -p "$E2E_TMP/copy/TVO-DEMO/SUB" "$E2E_TMP/h4/TVO-DEMO"
cp "$plain" "$E2E_TMP/copy/setup"
echo a >"$E2E_TMP/copy/TVO-DEMO/A.TXT"
echo b >"$E2E_TMP/copy/TVO-DEMO/SUB/B.TXT"
echo x >"$E2E_TMP/h4/TVO-DEMO/SUB"
start_install "$E2E_TMP/copy/setup" "$E2E_TMP/h4"
answer 'Potwierdź' t                     # the folder exists: overwrite
answer 'Błąd przy kopiowaniu pliku !' a  # Anuluj
expect 4 "Anuluj in the copy-failure question"

# The close question on page 3 answered "Tak".
big="$E2E_TMP/big/setup"
make_big_installer "$plain" "$pack" "$library" "$program" "$big" >/dev/null
start_install "$big" "$E2E_TMP/h5"
wait_file "$E2E_TMP/h5/TVO-DEMO/D0" 30 || fail "the extraction did not begin"
key_while_running Escape
answer 'Potwierdź' Return
expect 4 "close on page 3 confirmed"
[ ! -e "$E2E_TMP/h5/TVO-DEMO/TVO-DEMO.RAR" ] || fail "temporary archive left after the cancel"

# A completed installation.
start_install "$demo" "$E2E_TMP/h6"
wait_file "$E2E_TMP/h6/Desktop/Tavro 2010 DEMO.desktop" 60 || fail "installation did not finish"
sleep 0.5
type_key "$WIN" Escape
expect 0 "installed, Esc on page 4"
echo "ok: exit codes"
