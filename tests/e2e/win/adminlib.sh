# shellcheck shell=bash
# Steps of the Windows tests of what administrators and deployment tools
# see, on top of winlib.sh: the installed-programs entry read back from the
# registry, command lines as a batch file passes them, a file held open by
# another program, bytes changed in place.
source "$(dirname "${BASH_SOURCE[0]}")/winlib.sh"

UNINSTALL_KEY='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\pl.tavro.Tavro2010Demo'
LINK_NAME='Tavro 2010 DEMO.lnk'

# entry_values: the installed-programs entry as NAME=VALUE lines, sorted
# (DWORDs as reg prints them, 0x...); nothing when there is no entry.
entry_values() {
  { wine reg query "$UNINSTALL_KEY" 2>/dev/null || true; } | tr -d '\r' \
    | sed -n 's/^    \([A-Za-z]*\)    REG_[A-Z_]*    \(.*\)$/\1=\2/p' | LC_ALL=C sort
}

# entry_value NAME: one value of the entry.
entry_value() { entry_values | sed -n "s/^$1=//p"; }

# run_line LINE: LINE run as a line of a batch file by cmd, so that the
# program gets the command line exactly as written (quotes included), as a
# deployment script passes it. Output in $E2E_TMP/out and $E2E_TMP/err; sets RC.
run_line() {
  printf '@%s\r\n@exit %%ERRORLEVEL%%\r\n' "$1" >"$E2E_TMP/line.bat"
  RC=0
  wine cmd /c "$(winpath "$E2E_TMP/line.bat")" </dev/null >"$E2E_TMP/out" 2>"$E2E_TMP/err" || RC=$?
}

# run_wine EXE ARGS...: the program under Wine, output in $E2E_TMP/out and
# $E2E_TMP/err; sets RC.
run_wine() {
  RC=0
  wine "$@" </dev/null >"$E2E_TMP/out" 2>"$E2E_TMP/err" || RC=$?
}

# expect_rc CODE WHAT: fails with the program's output unless RC is CODE.
expect_rc() {
  [ "$RC" = "$1" ] || { cat "$E2E_TMP/out" "$E2E_TMP/err" >&2; fail "$2: exit code $RC, expected $1"; }
}

# same_as_sample SAMPLE TARGET WHAT: every file of the sample, byte for byte,
# and nothing else but the uninstaller and its list.
same_as_sample() {
  diff -r -x ODINSTALUJ.EXE -x ODINSTALUJ.LST "$1" "$2" >"$E2E_TMP/diff" \
    || { head -20 "$E2E_TMP/diff" >&2; fail "$3: the installed files differ from the sample"; }
}

# flip_byte FILE OFFSET: the byte at OFFSET changed in place.
flip_byte() {
  local old
  old="$(od -An -tu1 -j "$2" -N1 "$1" | tr -d ' ')"
  printf "$(printf '\\%03o' $(((old + 1) % 256)))" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none
}

# le32 FILE OFFSET: the little-endian 32-bit number at OFFSET.
le32() { od -An -tu4 -j "$2" -N4 "$1" | tr -d ' '; }

# certificate_table PE: "OFFSET SIZE" of a 64-bit PE file's certificate table
# (the security entry of the optional header's data directories).
certificate_table() {
  local pe
  pe="$(le32 "$1" 60)"
  echo "$(le32 "$1" $((pe + 24 + 144))) $(le32 "$1" $((pe + 24 + 148)))"
}

# build_holdfile: holdfile.exe (a program that holds a file open sharing
# nothing) built into E2E_TMP with the MinGW compiler. Sets HOLDFILE.
build_holdfile() {
  HOLDFILE="$E2E_TMP/holdfile.exe"
  x86_64-w64-mingw32-gcc-posix -municode -O2 -s -o "$HOLDFILE" "$(dirname "${BASH_SOURCE[0]}")/holdfile.c" \
    || fail "could not build holdfile.exe"
}

# hold FILE: FILE (a host path) held open without sharing until release is
# called. Sets HOLD_PID.
hold() {
  rm -f "$E2E_TMP/release" "$E2E_TMP/held"
  wine "$HOLDFILE" "$(winpath "$1")" "$(winpath "$E2E_TMP/release")" >"$E2E_TMP/held" 2>&1 &
  HOLD_PID=$!
  for _ in $(seq 200); do
    grep -q '^held' "$E2E_TMP/held" 2>/dev/null && return 0
    kill -0 "$HOLD_PID" 2>/dev/null || break
    sleep 0.1
  done
  fail "holdfile did not take $1: $(cat "$E2E_TMP/held")"
}

# release: the held file let go, the holder ended.
release() {
  touch "$E2E_TMP/release"
  wait "$HOLD_PID" || fail "holdfile ended with an error"
}
