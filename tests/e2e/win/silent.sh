#!/usr/bin/env bash
# --very-silent under Wine: no window, the outcome in the exit code and its
# message on standard error. An installation into --dir= with a --log= file
# (exit 0, the sample's files, the shortcut, the program not started); an
# existing folder refused without --overwrite (3, nothing changed) and taken
# with it (0); an installer cut short or with a damaged byte (3, a message
# naming the installer, no temporary file left).
#   usage: silent.sh DEMO/setup.exe SAMPLE-FOLDER
source "$(dirname "$0")/winlib.sh"
demo="$1" sample="$2"
start_wine
drive_c="$WINEPREFIX/drive_c"
mkdir -p "$E2E_TMP/cd"
good="$E2E_TMP/cd/setup.exe" cut="$E2E_TMP/cd/cut.exe" flipped="$E2E_TMP/cd/flipped.exe"
cp "$demo" "$good"
size="$(stat -c %s "$demo")"
head -c $((size - 100000)) "$demo" >"$cut"
cp "$demo" "$flipped"
# A byte of the archive, well before the index at the end, changed.
at=$((size - 1000000))
old="$(od -An -tu1 -j "$at" -N1 "$flipped" | tr -d ' ')"
printf "$(printf '\\%03o' $(((old + 1) % 256)))" | dd of="$flipped" bs=1 seek="$at" conv=notrunc status=none
mkdir -p "$drive_c/ISTNIEJE"
echo moje >"$drive_c/ISTNIEJE/moje.txt"
log="$E2E_TMP/log.txt"

# name | installer | target below C: | other options | exit code | standard error holds
cases=(
  "installed|$good|PROGRAMY/TVO-DEMO|--log=$(winpath "$log")|0|"
  "existing folder|$good|ISTNIEJE||3|już istnieje"
  "--overwrite|$good|ISTNIEJE|--overwrite|0|"
  "cut short|$cut|CUT||3|niekompletny"
  "damaged byte|$flipped|FLIPPED||3|uszkodzony"
)
for row in "${cases[@]}"; do
  IFS='|' read -r name exe dir options code message <<<"$row"
  target="$drive_c/$dir"
  before="$(cd "$drive_c" && find "$dir" 2>/dev/null | LC_ALL=C sort || true)"
  temp_before="$(temp_listing)"
  rc=0
  # shellcheck disable=SC2086 # the options are words
  TVODEMO_REPORT="$(winpath "$E2E_TMP/report.txt")" wine "$exe" --very-silent "--dir=C:\\${dir//\//\\}\\" $options \
    >"$E2E_TMP/out" 2>"$E2E_TMP/err" || rc=$?
  [ "$rc" = "$code" ] || { cat "$E2E_TMP/err" >&2; fail "$name: exit code $rc, expected $code"; }
  if [ -n "$message" ]; then
    grep -q "$message" "$E2E_TMP/err" || { cat "$E2E_TMP/err" >&2; fail "$name: the message does not say '$message'"; }
  fi
  if [ "$code" = 3 ] && [ "$exe" != "$good" ]; then
    grep -qF "$(winpath "$exe")" "$E2E_TMP/err" || { cat "$E2E_TMP/err" >&2; fail "$name: the message does not name the installer"; }
  fi
  temp_as_before "$temp_before" "$name"
  for stray in TVO-DEMO.RAR TVOUNRAR.DLL; do
    [ ! -e "$target/$stray" ] || fail "$name: $stray left behind"
  done
  case "$name" in
    installed | --overwrite)
      diff -r -x ODINSTALUJ.EXE -x ODINSTALUJ.LST -x moje.txt "$sample" "$target" >/dev/null \
        || fail "$name: the installed files differ from the sample"
      [ -f "$WIN_DESKTOP/Tavro 2010 DEMO.lnk" ] || fail "$name: no desktop shortcut"
      [ "$(lnk_field "$WIN_DESKTOP/Tavro 2010 DEMO.lnk" 'Working directory')" = "C:\\${dir//\//\\}" ] \
        || fail "$name: the shortcut names another folder"
      ;;
    "existing folder")
      after="$(cd "$drive_c" && find "$dir" | LC_ALL=C sort)"
      [ "$after" = "$before" ] || fail "$name: the folder changed"
      ;;
  esac
  echo "$name: exit code $rc${message:+, '$message' on standard error}"
done
[ ! -e "$E2E_TMP/report.txt" ] || fail "the installed program was started"
[ -f "$drive_c/ISTNIEJE/moje.txt" ] || fail "--overwrite removed the user's file"
grep -q 'Exit code 0' "$log" || fail "the log does not end with the exit code: $(tail -3 "$log")"
grep -q 'Installation finished' "$log" || fail "the log does not record the installation"
echo "ok: --very-silent installs, refuses and reports damage by its exit code"
