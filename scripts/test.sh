#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: unit and widget tests
# offscreen, then the end-to-end tests of the real binary under Xvfb.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd build
status=0
ctest --output-on-failure -LE e2e || status=1
xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -L e2e || status=1
exit $status
