#!/usr/bin/env bash
# Files in use under Wine. Over an installation whose data file another
# program holds open sharing nothing and whose program runs, --very-silent
# --overwrite ends with 3 and a message naming the file (first the held one,
# then, once it is let go, the running program's), the installation's list
# and entry as they were, no temporary file left. In the wizard the retry box
# names the held file; once it is let go, "Powtórz" lets the installation
# finish. The uninstaller with --yes ends with 3 listing a held file and
# keeps the entry; once it is let go a second run removes everything (0),
# its copy in %TEMP% gone too.
#   usage: inuse.sh DEMO/setup.exe SAMPLE-FOLDER
source "$(dirname "$0")/adminlib.sh"
demo="$1" sample="$2"
build_holdfile
start_wine
target="$WINEPREFIX/drive_c/TVO-DEMO" target_win='C:\TVO-DEMO'
temp_before="$(temp_listing)"
run_wine "$demo" --very-silent "--dir=$target_win"
expect_rc 0 "the first installation"
cp "$target/ODINSTALUJ.LST" "$E2E_TMP/list.before"
entry_before="$(entry_values)"
[ -n "$entry_before" ] || fail "no entry after the first installation"

# The program running in its folder and its data file held.
wine "$target/TVODEMO.EXE" >/dev/null 2>&1 &
wait_window 'Tavro 2010 DEMO' 30 >/dev/null || fail "the installed program shows no window"
hold "$target/Dane/Indeks.dat"

# release the holder first? | the file named
cases=(
  "no|$target_win\\Dane\\Indeks.dat"
  "yes|$target_win\\TVODEMO.EXE"
)
for row in "${cases[@]}"; do
  IFS='|' read -r let_go file <<<"$row"
  [ "$let_go" = no ] || release
  run_wine "$demo" --very-silent --overwrite "--dir=$target_win"
  expect_rc 3 "over $file in use"
  grep -qF 'Plik jest używany przez inny program' "$E2E_TMP/err" && grep -qF "$file" "$E2E_TMP/err" \
    || fail "the message does not name $file: $(cat "$E2E_TMP/err")"
  cmp -s "$E2E_TMP/list.before" "$target/ODINSTALUJ.LST" || fail "$file: the list of installed files changed"
  [ "$(entry_values)" = "$entry_before" ] || fail "$file: the entry changed: $(entry_values)"
  for stray in TVO-DEMO.RAR TVOUNRAR.DLL; do
    [ ! -e "$target/$stray" ] || fail "$file: $stray left behind"
  done
  temp_as_before "$temp_before" "$file"
  same_as_sample "$sample" "$target" "$file in use"
  echo "in use: $file: exit code 3"
done
# shellcheck disable=SC2046 # ids
kill $(wine_processes TVODEMO.EXE) 2>/dev/null || true
wait_gone TVODEMO.EXE 20

# The wizard asks, and goes on once the file is let go.
hold "$target/Dane/Indeks.dat"
log="$E2E_TMP/log.txt"
start_setup "$demo" "--dir=$target_win\\" "--log=$(winpath "$log")"
win="$(wait_window "$WIZARD" 30)" || fail "no wizard window"
wait_page "$win" 1 10
type_key "$win" Return
wait_page "$win" 2 10
type_key "$win" Return
ask="$(wait_window 'Potwierdź' 15)" || fail "no question about the existing folder"
type_key "$ask" Return
box="$(wait_window 'Błąd' 30)" || fail "no retry box"
grep -qF "In use by another program: $target_win\\Dane\\Indeks.dat" "$log" || fail "the box is not about the held file"
shot win-retry
release
type_key "$box" Return # Powtórz
wait_page "$win" 4 60
type_key "$win" Escape # leaves without starting the program
wait_exit "$APP_PID" 20
[ "$RC" = 0 ] || fail "the wizard after the retry: exit code $RC"
[ "$(grep -c 'In use by another program' "$log")" = 1 ] || fail "asked more than once"
same_as_sample "$sample" "$target" "after the retry"
echo "wizard: the retry box, then the installation completed"

# The removal with a held file, then without.
hold "$target/Pomoc/poz001.txt"
# let go before the run? | exit code
for run in no:3 yes:0; do
  [ "${run%:*}" = no ] || release
  run_wine "$target/ODINSTALUJ.EXE" --yes
  expect_rc "${run#*:}" "the uninstaller (file let go: ${run%:*})"
  wait_gone "ODINSTALUJ*" 20
  temp_as_before "$temp_before" "the uninstaller's copy" 5
  if [ "$RC" = 3 ]; then
    grep -qF "$target_win\\Pomoc\\poz001.txt" "$E2E_TMP/out" "$E2E_TMP/err" || fail "the held file is not listed"
    [ -f "$target/Pomoc/poz001.txt" ] && [ -f "$target/ODINSTALUJ.EXE" ] || fail "the uninstaller or the held file is gone"
    [ -n "$(entry_values)" ] || fail "the entry went with a file left"
  else
    [ ! -e "$target" ] || fail "left in the target: $(find "$target" | head -5)"
    [ -z "$(entry_values)" ] || fail "the entry is left"
  fi
  echo "removal, file let go: ${run%:*}: exit code $RC"
done
echo "ok: files in use stop the silent runs with 3 and are asked about in the wizard; the removal goes on later"
