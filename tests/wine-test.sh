#!/usr/bin/env bash
# Runs a Qt test built for Windows under Wine and prints its report. Without a
# console (CTest gives it pipes) the test library would send the report to the
# debugger channel, so it writes it to a file that is printed here.
#   usage: wine-test.sh TEST.exe [test arguments]
set -uo pipefail
exe="$1"; shift
report="$(mktemp "${TMPDIR:-/tmp}/tvo-test.XXXXXX")"
trap 'rm -f "$report"' EXIT
# Wine hands the host's QT_* variables to no Windows program (they would be
# the host toolkit's); a variable named WINEQT_* reaches it as QT_*.
for name in $(compgen -e); do
  if [[ $name == QT_* ]]; then export "WINE$name=${!name}"; fi
done
wine "$exe" -o "Z:$report,txt" "$@"
status=$?
cat "$report"
exit $status
