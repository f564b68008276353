#!/usr/bin/env bash
# What an administrator's deployment sees under Wine: the switches of Windows
# installers in any letter case, passed by a batch file exactly as written
# (/VERYSILENT /DIR="..." /LOG="..." /NORESTART: exit code 0, the log); the
# entry among the installed programs with every value; the Start menu's and
# the desktop's shortcut, left out with /NOICONS; the quiet uninstall command
# taken from the entry removes the installation, its shortcuts and the entry,
# but not an entry that names another folder by then; command-line errors
# (2); an existing folder refused under /SILENT /SUPPRESSMSGBOXES (3, the
# message on standard error, no box), under /SILENT alone with its box.
#   usage: entry.sh DEMO/setup.exe SAMPLE-FOLDER
source "$(dirname "$0")/adminlib.sh"
demo="$1" sample="$2"
start_wine
drive_c="$WINEPREFIX/drive_c"
setup="$(winpath "$demo")"
main="$drive_c/Program Files/Tavro DEMO" main_win='C:\Program Files\Tavro DEMO'
second="$drive_c/DRUGA" second_win='C:\DRUGA'
log="$E2E_TMP/dziennik instalacji.txt"
temp_before="$(temp_listing)"

# The installation a deployment script makes.
run_line "$setup /VerySilent /Dir=\"$main_win\" /LOG=\"$(winpath "$log")\" /NoRestart"
expect_rc 0 "/VERYSILENT /DIR= /LOG="
same_as_sample "$sample" "$main" "/VERYSILENT"
grep -qF "Target folder accepted: $main_win" "$log" || fail "the log does not name the folder: $(head -5 "$log")"
grep -q 'Installation finished' "$log" && grep -q 'Exit code 0$' "$log" || fail "the log does not end with success"
temp_as_before "$temp_before" "the run"

# The entry, value by value.
files_kb="$(find "$main" -type f ! -name ODINSTALUJ.LST -printf '%s\n' | awk '{ s += $1 } END { print int(s / 1024) }')"
size_kb=$(($(entry_value EstimatedSize)))
[ "$size_kb" -ge "$files_kb" ] && [ "$size_kb" -le $((files_kb + 64)) ] \
  || fail "EstimatedSize $size_kb KB for $files_kb KB of files"
# value | expected
values=(
  "DisplayName|Tavro 2010 DEMO"
  "Publisher|Tavro"
  "InstallLocation|$main_win"
  "DisplayIcon|$main_win\\TVODEMO.EXE"
  "UninstallString|\"$main_win\\ODINSTALUJ.EXE\""
  "QuietUninstallString|\"$main_win\\ODINSTALUJ.EXE\" --yes"
  "InstallDate|$(date +%Y%m%d)"
  "NoModify|0x1"
  "NoRepair|0x1"
)
for row in "${values[@]}"; do
  IFS='|' read -r name expected <<<"$row"
  got="$(entry_value "$name")"
  [ "$got" = "$expected" ] || fail "$name is '$got', expected '$expected'"
done
[[ "$(entry_value DisplayVersion)" =~ ^[0-9]+(\.[0-9]+)+$ ]] || fail "DisplayVersion '$(entry_value DisplayVersion)'"
quiet="$(entry_value QuietUninstallString)"
echo "entry: $(entry_values | wc -l) values, EstimatedSize $size_kb KB"

# Both shortcuts name the program in its folder.
for lnk in "$WIN_PROGRAMS/$LINK_NAME" "$WIN_DESKTOP/$LINK_NAME"; do
  [ -f "$lnk" ] || fail "no shortcut $lnk"
  [ "$(lnk_field "$lnk" 'Local path')" = "$main_win\\TVODEMO.EXE" ] || fail "$lnk names $(lnk_field "$lnk" 'Local path')"
  [ "$(lnk_field "$lnk" 'Working directory')" = "$main_win" ] || fail "$lnk: working folder"
done

# A second installation without shortcuts: the entry is its own now, the
# first installation's shortcuts are untouched.
run_wine "$demo" /verysilent /noicons "/dir=$second_win"
expect_rc 0 "/verysilent /noicons"
same_as_sample "$sample" "$second" "/NOICONS"
[ "$(entry_value InstallLocation)" = "$second_win" ] || fail "the entry names $(entry_value InstallLocation)"
for lnk in "$WIN_PROGRAMS/$LINK_NAME" "$WIN_DESKTOP/$LINK_NAME"; do
  [ "$(lnk_field "$lnk" 'Local path')" = "$main_win\\TVODEMO.EXE" ] || fail "/NOICONS: $lnk was rewritten"
done
grep -qF 'Tavro 2010 DEMO.lnk' "$second/ODINSTALUJ.LST" && fail "/NOICONS: a shortcut is listed as installed"

# The first installation removed by the command its entry gave: its
# shortcuts go, the entry that names the second folder stays.
run_line "$quiet"
expect_rc 0 "the quiet uninstall command"
wait_gone "ODINSTALUJ*" 20
[ ! -e "$main" ] || fail "left after the removal: $(find "$main" | head -5)"
[ ! -e "$WIN_PROGRAMS/$LINK_NAME" ] && [ ! -e "$WIN_DESKTOP/$LINK_NAME" ] || fail "a shortcut is left"
[ "$(entry_value InstallLocation)" = "$second_win" ] || fail "the removal took another folder's entry"
run_wine "$second/ODINSTALUJ.EXE" --yes
expect_rc 0 "removing the second installation"
wait_gone "ODINSTALUJ*" 20
[ -z "$(entry_values)" ] || fail "the entry is left: $(entry_values)"
echo "removed: both folders, the shortcuts, the entry"

# Command lines: exit code | standard output holds | standard error holds | arguments
lines=(
  "2||nieoczekiwany argument: /X|/VERYSILENT /X"
  "2||wymaga nazwy katalogu|/VERYSILENT /DIR="
  "2||wykluczają się|/Silent /VerySilent"
  "0|Użycie:||/?"
  "0|/SUPPRESSMSGBOXES||/help"
)
for row in "${lines[@]}"; do
  IFS='|' read -r code out err args <<<"$row"
  run_line "$setup $args"
  expect_rc "$code" "$args"
  [ -z "$out" ] || grep -qF -- "$out" "$E2E_TMP/out" || fail "$args: standard output lacks '$out'"
  [ -z "$err" ] || grep -qF -- "$err" "$E2E_TMP/err" || fail "$args: standard error lacks '$err': $(cat "$E2E_TMP/err")"
  echo "$args: exit code $RC"
done
[ "$(count_windows 'Błąd')" = 0 ] || fail "a box is left on the screen"

# An existing folder: /SUPPRESSMSGBOXES puts the refusal on standard error,
# and no box is shown meanwhile; /SILENT alone shows it, Return closes it.
mkdir -p "$drive_c/ISTNIEJE"
wine "$demo" /SILENT /SUPPRESSMSGBOXES '/DIR=C:\ISTNIEJE' >"$E2E_TMP/out" 2>"$E2E_TMP/err" &
APP_PID=$!
boxes=0
while kill -0 "$APP_PID" 2>/dev/null; do
  n="$(count_windows 'Błąd')"
  [ "$n" -le "$boxes" ] || boxes="$n"
  sleep 0.05
done
wait_exit "$APP_PID" 5
expect_rc 3 "/SILENT /SUPPRESSMSGBOXES into an existing folder"
grep -q 'już istnieje' "$E2E_TMP/err" || fail "the refusal is not on standard error: $(cat "$E2E_TMP/err")"
[ "$boxes" = 0 ] || fail "/SUPPRESSMSGBOXES: $boxes box(es) shown"
start_setup "$demo" /silent '/dir=C:\ISTNIEJE'
box="$(wait_window 'Błąd' 30)" || fail "/SILENT: no box for the existing folder"
type_key "$box" Return
wait_exit "$APP_PID" 20
expect_rc 3 "/SILENT into an existing folder"
[ -z "$(ls -A "$drive_c/ISTNIEJE")" ] || fail "the existing folder changed"
echo "existing folder: 3 with the message on standard error and no box; with its box under /SILENT"
echo "ok: switches, the installed-programs entry, shortcuts and their removal"
