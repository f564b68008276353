#!/usr/bin/env bash
# Start-up of the shipped installer (static) against the development build
# (the system's shared Qt) and a bare Qt window on the shared Qt, in the same
# run, on a private X server; with the file sizes.
# usage: bench/startup.sh [RUNS]   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
b=build
runs="${1:-15}"
printf '%-34s %12s\n' "file" "bytes"
for f in $b/app/tvo-setup $b/ship/setup $b/demo/setup; do
  printf '%-34s %12s\n' "$f" "$(stat -c %s "$f")"
done
bash scripts/needs.sh $b/ship/setup
xvfb-run -a -s "-screen 0 1024x768x24" $b/bench/bench_startup "$runs" \
  "bare-qt-window=$b/bench/bench_barewindow" "development=$b/app/tvo-setup" "shipped=$b/demo/setup"
