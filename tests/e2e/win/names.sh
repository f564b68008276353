#!/usr/bin/env bash
# Names and places Windows does not take, under Wine. Folders packed on Linux
# with an entry Windows cannot hold (a device name, one with an extension, a
# reserved character, a trailing dot, two names differing only in letter
# case): tvo-pack warns of it, the installation stops before writing
# anything (3, the message names the entry, no target folder left). A path
# longer than 260 characters installs byte for byte and is removed again. A
# target below a folder the user may not write: 3 with the Polish message,
# no crash, no folder made.
#   usage: names.sh PLAIN-setup.exe TVO-PACK UNRAR.DLL
source "$(dirname "$0")/adminlib.sh"
plain="$1" pack="$2" library="$3"
start_wine
drive_c="$WINEPREFIX/drive_c"
temp_before="$(temp_listing)"

# packs FOLDER into $E2E_TMP/cd/setup.exe; tvo-pack's output in $E2E_TMP/pack.
pack_folder() {
  mkdir -p "$E2E_TMP/cd"
  "$pack" --no-compress --library "$library" --folder "$1" "$plain" "$E2E_TMP/cd/setup.exe" >"$E2E_TMP/pack" 2>&1 \
    || fail "tvo-pack failed: $(cat "$E2E_TMP/pack")"
}

# entries below sub/ (':'-separated) | what the message names
cases=(
  "CON|sub\\CON"
  "aux.txt|sub\\aux.txt"
  "a?b|sub\\a?b"
  "x.|sub\\x."
  "Plik.txt:PLIK.TXT|sub\\PLIK.TXT"
)
for row in "${cases[@]}"; do
  IFS='|' read -r entries named <<<"$row"
  src="$E2E_TMP/src"
  rm -rf "$src" && mkdir -p "$src/sub"
  echo zwykły >"$src/a-zwykly.txt" # comes first: nothing may be written before the check
  IFS=: read -ra names <<<"$entries"
  for name in "${names[@]}"; do echo "$name" >"$src/sub/$name"; done
  pack_folder "$src"
  grep -qF "warning: sub/${names[-1]}" "$E2E_TMP/pack" || grep -qF "warning: sub/${names[0]}" "$E2E_TMP/pack" \
    || fail "$entries: tvo-pack gave no warning: $(cat "$E2E_TMP/pack")"
  run_wine "$E2E_TMP/cd/setup.exe" --very-silent '--dir=C:\NAZWY'
  expect_rc 3 "$entries"
  grep -qF "$named" "$E2E_TMP/err" || fail "$entries: the message does not name $named: $(cat "$E2E_TMP/err")"
  [ ! -e "$drive_c/NAZWY" ] || fail "$entries: left in the target: $(find "$drive_c/NAZWY" | head -5)"
  [ -z "$(entry_values)" ] || fail "$entries: entered among the installed programs"
  temp_as_before "$temp_before" "$entries"
  echo "$entries: exit code 3, named, nothing written"
done

# Nested folders past 260 characters of path.
src="$E2E_TMP/src"
rm -rf "$src" && mkdir -p "$src"
deep="Katalog z dość długą nazwą numer 1"
for i in 2 3 4 5 6 7 8; do deep+="/Katalog z dość długą nazwą numer $i"; done
mkdir -p "$src/$deep"
head -c 70000 /dev/urandom >"$src/$deep/Plik na samym dole.bin"
echo płytko >"$src/płytko.txt"
full="C:\\DLUGA\\${deep//\//\\}\\Plik na samym dole.bin"
[ "${#full}" -gt 260 ] || fail "the path is only ${#full} characters long"
pack_folder "$src"
run_wine "$E2E_TMP/cd/setup.exe" --very-silent --no-icons '--dir=C:\DLUGA'
expect_rc 0 "a path of ${#full} characters"
diff -r -x ODINSTALUJ.EXE -x ODINSTALUJ.LST "$src" "$drive_c/DLUGA" >"$E2E_TMP/diff" \
  || { cat "$E2E_TMP/diff" >&2; fail "the long path's files differ"; }
run_wine "$drive_c/DLUGA/ODINSTALUJ.EXE" --yes
expect_rc 0 "removing the long path"
wait_gone "ODINSTALUJ*" 20
[ ! -e "$drive_c/DLUGA" ] || fail "left after the removal: $(find "$drive_c/DLUGA" | head -5)"
[ -z "$(entry_values)" ] || fail "the entry is left"
echo "a path of ${#full} characters: installed, compared, removed"

# A folder the user may not write. Root writes anywhere: its run drops the
# capabilities that let it, and so does the prefix's server, which makes the
# files and folders its programs create: the server is ended and the run
# starts a new one.
locked="$drive_c/ZABLOKOWANY"
mkdir -p "$locked" && chmod 555 "$locked"
as_user=()
[ "$(id -u)" != 0 ] || as_user=(setpriv --inh-caps=-all --bounding-set=-all)
if "${as_user[@]}" touch "$locked/proba" 2>/dev/null; then
  rm -f "$locked/proba"
  echo "note: the folder stays writable here; the unwritable target is not tried"
else
  wineserver -k && wineserver -w
  RC=0
  "${as_user[@]}" wine "$E2E_TMP/cd/setup.exe" --very-silent '--dir=C:\ZABLOKOWANY\TVO-DEMO' </dev/null \
    >"$E2E_TMP/out" 2>"$E2E_TMP/err" || RC=$?
  expect_rc 3 "an unwritable target"
  grep -q 'Nieprawidłowy katalog' "$E2E_TMP/err" || fail "unwritable: the message: $(cat "$E2E_TMP/err")"
  [ -z "$(ls -A "$locked")" ] || fail "unwritable: something was made: $(ls -A "$locked")"
  echo "unwritable target: exit code 3, $(head -1 "$E2E_TMP/err")"
fi
chmod 755 "$locked"
temp_as_before "$temp_before" "the run"
echo "ok: names Windows cannot hold stop the installation, long paths install and go, an unwritable target is refused"
