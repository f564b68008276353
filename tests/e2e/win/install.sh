#!/usr/bin/env bash
# The Windows installers end to end under Wine, the one carrying the archive
# and the one copying the folder beside it, each from a folder whose name has
# a blank: Enter through the four pages into C:\TVO-DEMO\, every file as in
# the sample folder, no temporary file left, both shortcuts naming the
# program, its arguments and its folder, "Dalej" starting the program with
# that command line in that folder; then the uninstaller with --yes removes
# it all but a file the user added, which it names.
#   usage: install.sh DEMO/setup.exe DEMO-COPY-FOLDER SAMPLE-FOLDER
source "$(dirname "$0")/winlib.sh"
payload="$1" copy="$2" sample="$3"
start_wine
target="$WINEPREFIX/drive_c/TVO-DEMO"
link="Tavro 2010 DEMO.lnk"

# kind | installer | what its folder holds besides it | a file the user adds before the removal
cases=(
  "payload|$payload||"
  "copy|$copy/setup.exe|$copy/TVO-DEMO|Dane/moje/notatki.txt"
)
for row in "${cases[@]}"; do
  IFS='|' read -r kind exe beside userfile <<<"$row"
  cd_dir="$E2E_TMP/CD $kind"
  mkdir -p "$cd_dir"
  cp "$exe" "$cd_dir/setup.exe"
  [ -z "$beside" ] || cp -a "$beside" "$cd_dir/"
  report="$E2E_TMP/report-$kind.txt"
  temp_before="$(temp_listing)"

  TVODEMO_REPORT="$(winpath "$report")" start_setup "$cd_dir/setup.exe"
  win="$(wait_window "$WIZARD" 30)" || fail "$kind: no wizard window"
  wait_page "$win" 1 10
  [ "$kind" = payload ] && shot win-page1
  type_key "$win" Return
  wait_page "$win" 2 10
  [ "$kind" = payload ] && shot win-page2
  type_key "$win" Return    # C:\TVO-DEMO\ and install
  wait_page "$win" 4 60
  [ "$kind" = payload ] && shot win-page4

  diff -r -x ODINSTALUJ.EXE -x ODINSTALUJ.LST "$sample" "$target" >"$E2E_TMP/diff" \
    || { head -20 "$E2E_TMP/diff" >&2; fail "$kind: the installed files differ from the sample"; }
  [ -f "$target/ODINSTALUJ.EXE" ] && [ -f "$target/ODINSTALUJ.LST" ] || fail "$kind: no uninstaller"
  temp_as_before "$temp_before" "$kind"

  cd_win="$(winpath "$cd_dir")"
  for lnk in "$WIN_DESKTOP/$link" "$WIN_PROGRAMS/$link"; do
    [ -f "$lnk" ] || fail "$kind: no shortcut $lnk"
    path="$(lnk_field "$lnk" 'Local path')"
    [ "$path" = 'C:\TVO-DEMO\TVODEMO.EXE' ] || fail "$kind: $lnk: target $path"
    work="$(lnk_field "$lnk" 'Working directory')"
    [ "$work" = 'C:\TVO-DEMO' ] || fail "$kind: $lnk: working folder $work"
    args="$(lnk_field "$lnk" 'Command line arguments')"
    [ "$args" = "\"katCD=$cd_win\"" ] || fail "$kind: $lnk: arguments $args"
  done

  type_key "$win" Return    # Dalej: the program starts
  wait_exit "$APP_PID" 20
  [ "$RC" = 0 ] || fail "$kind: installer exit code $RC"
  wait_file "$report" 20 || fail "$kind: the installed program did not start"
  wait_gone TVODEMO.EXE 20
  printf 'cwd=%s\ncmdline=%s\narg0=%s\narg1=%s\n' 'C:\TVO-DEMO' "\"C:\\TVO-DEMO\\TVODEMO.EXE\" \"katCD=$cd_win\"" \
    'C:\TVO-DEMO\TVODEMO.EXE' "katCD=$cd_win" >"$E2E_TMP/expected"
  cmp -s "$E2E_TMP/expected" "$report" || { diff "$E2E_TMP/expected" "$report" >&2; fail "$kind: the program's start"; }
  for stray in TVO-DEMO.RAR TVOUNRAR.DLL; do
    [ ! -e "$target/$stray" ] || fail "$kind: $stray left in the target"
  done
  echo "$kind: installed $(find "$target" -type f | wc -l) files, both shortcuts, the program started"

  # The removal.
  if [ -n "$userfile" ]; then
    mkdir -p "$(dirname "$target/$userfile")"
    echo notatki >"$target/$userfile"
  fi
  rc=0
  wine 'C:\TVO-DEMO\ODINSTALUJ.EXE' --yes >"$E2E_TMP/un.out" 2>"$E2E_TMP/un.err" || rc=$?
  [ "$rc" = 0 ] || fail "$kind: uninstaller exit code $rc: $(cat "$E2E_TMP/un.out" "$E2E_TMP/un.err")"
  # The copy in %TEMP% that did the work ends a moment after the code came back.
  wait_gone "ODINSTALUJ*" 20
  temp_as_before "$temp_before" "$kind" 10
  [ ! -e "$WIN_DESKTOP/$link" ] && [ ! -e "$WIN_PROGRAMS/$link" ] || fail "$kind: a shortcut is left"
  if [ -z "$userfile" ]; then
    [ ! -e "$target" ] || fail "$kind: left in the target: $(find "$target" | head)"
  else
    # The user's file and the folders that hold it, nothing else.
    expected="." at=""
    IFS=/ read -ra parts <<<"$userfile"
    for part in "${parts[@]}"; do
      at="$at/$part"
      expected+=$'\n'".$at"
    done
    left="$(cd "$target" && find . | LC_ALL=C sort)"
    [ "$left" = "$expected" ] || fail "$kind: left in the target: $left"
    grep -qF "C:\\TVO-DEMO\\${userfile//\//\\}" "$E2E_TMP/un.out" \
      || grep -qF "$userfile" "$E2E_TMP/un.out" || fail "$kind: the user's file is not named: $(cat "$E2E_TMP/un.out")"
  fi
  echo "$kind: removed, $(head -1 "$E2E_TMP/un.out")"
done
echo "ok: both installers through the wizard, removed again"
