#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and widget tests
# offscreen, then the end-to-end tests of the real binary under Xvfb; then the
# same for the Windows program, cross-built, under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
status=0
(cd build && ctest --output-on-failure -LE e2e) || status=1
(cd build && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -L e2e) || status=1

bash scripts/build-win.sh
# Wine in a prefix and home folder of this run's own, removed afterwards;
# shortcuts the tests make do not become menu entries of this machine.
wine_home="$(mktemp -d "${TMPDIR:-/tmp}/tvo-wine.XXXXXX")"
trap 'WINEPREFIX="$wine_home/prefix" wineserver -k 2>/dev/null || true; rm -rf "$wine_home"' EXIT
export HOME="$wine_home" WINEPREFIX="$wine_home/prefix" WINEDLLOVERRIDES="winemenubuilder.exe=d" WINEDEBUG=-all
start=$(date +%s)
wine wineboot -i >/dev/null 2>&1
# The prefix was made without a display: its server ends here, so that the
# tests' first program starts Wine again on the tests' own display.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
echo "test: Wine prefix made in $(( $(date +%s) - start )) s"
(cd build/win && xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure) || status=1
exit $status
