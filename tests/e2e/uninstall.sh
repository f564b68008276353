#!/usr/bin/env bash
# Desktop integration and removal, in a fresh home folder, into a target with
# blanks and Polish letters: after an installation both entries validate and
# name the icon, which is there at every size; the menu entry's "Odinstaluj"
# action asks in a window and "Nie" removes nothing; a second installation
# over the first, a file of the user's in the target, then the uninstaller
# with --yes: every listed file, both entries and the icons are gone, the
# user's file and its folders stay, and nothing else of either installation;
# the uninstaller carries no payload and works with the installer gone.
source "$(dirname "$0")/lib.sh"
exe="$E2E_TMP/cd/setup" pack="$2"
mkdir -p "$E2E_TMP/cd"
cp "$1" "$exe"
start_xvfb 1024x768
home="$E2E_TMP/home"
mkdir -p "$home"
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_DATA_DIRS
export HOME="$home"
target="$home/Programy Łódź/TVO DEMO żółw"
data="$home/.local/share"
id=pl.tavro.Tavro2010Demo
menu="$data/applications/$id.desktop"
desk="$home/Desktop/Tavro 2010 DEMO.desktop"

# snapshot: everything below the home folder but the font cache of the toolkit.
snapshot() { (cd "$home" && find . -path ./.cache -prune -o -print | LC_ALL=C sort); }

install_once() { # [answer to "the folder exists"]
  # The folder box starts with the target (typing letters like these through
  # XTEST remaps keys on the fly, which is not reliable under load).
  "$exe" "--dir=$target" & APP_PID=$!
  local win
  win="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
  type_key "$win" Return   # page 2
  sleep 0.5
  touch "$E2E_TMP/mark"
  sleep 0.05
  type_key "$win" Return
  if [ -n "${1:-}" ]; then
    local ask
    ask="$(wait_window 'Potwierdź' 10)" || fail "no question about the existing folder"
    type_key "$ask" "$1"
  fi
  for _ in $(seq 600); do [ "$target/ODINSTALUJ.LST" -nt "$E2E_TMP/mark" ] && break; sleep 0.1; done
  [ "$target/ODINSTALUJ.LST" -nt "$E2E_TMP/mark" ] || fail "no list of installed files in '$target'"
  sleep 0.5
  type_key "$win" Escape   # page 4: leave without starting the program
  wait_exit "$APP_PID" 10
  [ "$RC" = 0 ] || fail "installer exit code $RC"
}

before="$(snapshot)"
install_once
[ -x "$target/TVODEMO.EXE" ] || fail "not installed into '$target'"
[ -x "$target/ODINSTALUJ.EXE" ] || fail "no uninstaller"
[ "$(stat -c %s "$target/ODINSTALUJ.EXE")" -lt "$(stat -c %s "$exe")" ] || fail "the uninstaller is not smaller"
# The uninstaller is the program without its payload: no store at its end.
! tail -c 32 "$target/ODINSTALUJ.EXE" | grep -q TVOSTORE || fail "the uninstaller carries a payload"
for f in "$desk" "$menu"; do
  out="$(desktop-file-validate "$f" 2>&1)" || fail "$f does not validate: $out"
  [ -z "$out" ] || fail "$f: $out"
  grep -qx "Icon=$id" "$f" || fail "$f does not name the icon"
done
for s in 48 64 128 256; do
  png="$data/icons/hicolor/${s}x${s}/apps/$id.png"
  [ "$(identify -format '%wx%h' "$png" 2>/dev/null)" = "${s}x${s}" ] || fail "no ${s}px icon"
done
grep -qx 'Categories=Office;Finance;' "$menu" || fail "menu entry without categories"
for key in Exec Path Name; do
  [ "$(grep -m1 "^$key=" "$menu")" = "$(grep -m1 "^$key=" "$desk")" ] || fail "menu entry's $key differs"
done

# The menu's "Odinstaluj" action, run as the desktop runs it: it asks first.
exec_line="$(sed -n '/^\[Desktop Action uninstall\]/,/^\[/s/^Exec=//p' "$menu")"
[ -n "$exec_line" ] || fail "no Exec in the Odinstaluj action"
exec_line="${exec_line//\\\\/\\}"   # the string escapes, then the quoting rules (as the shell's)
eval "set -- $exec_line"
installed="$(snapshot)"
"$@" & APP_PID=$!
ask="$(wait_window 'Odinstalowanie TAVRO DEMO' 15)" || fail "the uninstaller did not ask"
sleep 0.3
n="$(xdotool search --onlyvisible --name '^Odinstalowanie TAVRO DEMO$' | wc -l)"
[ "$n" = 1 ] || fail "$n question windows"
import -window root "$E2E_TMP/ask.png"
type_key "$ask" n          # &Nie
wait_exit "$APP_PID" 10
[ "$RC" = 4 ] || fail "'Nie' gave exit code $RC, expected 4"
[ "$(snapshot)" = "$installed" ] || fail "'Nie' changed files"

# A second installation over the first, a file of the user's, and removal.
install_once t
mkdir -p "$target/Dane/moje"
echo notatki > "$target/Dane/moje/notatki.txt"
listed="$(sed -n 's/^[FL] [0-9]* [0-9]* //p' "$target/ODINSTALUJ.LST")"
[ "$(echo "$listed" | wc -l)" -gt 100 ] || fail "the list names too few files"
rm -rf "$E2E_TMP/cd"   # the installer is gone
out="$("$target/ODINSTALUJ.EXE" --yes 2>&1)" || fail "uninstaller failed ($?): $out"
echo "$out" | grep -q 'Dane/moje/notatki.txt' || fail "the user's file is not named: $out"
while IFS= read -r p; do
  case "$p" in /*) f="$p" ;; *) f="$target/$p" ;; esac
  [ ! -e "$f" ] && [ ! -L "$f" ] || fail "listed file left: $f"
done <<<"$listed"
[ -f "$target/Dane/moje/notatki.txt" ] || fail "the user's file was removed"
[ ! -e "$desk" ] && [ ! -e "$menu" ] || fail "an entry is left"
[ -z "$(find "$data" -name "$id.png" 2>/dev/null)" ] || fail "an icon is left"
# Nothing else is left: the user's file, the folders that hold it, and what was there before.
expected="$(printf '%s\n' "$before" "./Programy Łódź" "./Programy Łódź/TVO DEMO żółw" \
  "./Programy Łódź/TVO DEMO żółw/Dane" "./Programy Łódź/TVO DEMO żółw/Dane/moje" \
  "./Programy Łódź/TVO DEMO żółw/Dane/moje/notatki.txt" | LC_ALL=C sort)"
[ "$(snapshot)" = "$expected" ] || { diff <(echo "$expected") <(snapshot) >&2; fail "files left behind"; }
echo "ok: entries and icons, 'Nie' asks and keeps, two installations removed but the user's file"
