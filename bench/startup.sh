#!/usr/bin/env bash
# Start-up of the self-contained installer against the plain one and a bare
# Qt window, in the same run, on a private X server; with the file sizes.
# usage: bench/startup.sh [RUNS]   (after scripts/build.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
b=build
runs="${1:-15}"
# A desktop's XDG_RUNTIME_DIR is a tmpfs; without one, /dev/shm stands in.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then export XDG_RUNTIME_DIR=/dev/shm; fi
echo "runtime unpacked under $XDG_RUNTIME_DIR"
printf '%-34s %12s\n' "file" "bytes"
for f in $b/app/tvo-setup $b/bundle/setup $b/demo/setup $b/launcher/tvo-launcher; do
  printf '%-34s %12s\n' "$f" "$(stat -c %s "$f")"
done
strip -o /tmp/bench-plain-setup.$$ $b/app/tvo-setup
printf '%-34s %12s\n' "tvo-setup stripped" "$(stat -c %s /tmp/bench-plain-setup.$$)"
rm -f /tmp/bench-plain-setup.$$
$b/tools/tvo-pack/tvo-pack --list $b/demo/setup | awk '$1 == "TVO_RUNTIME" {print "runtime resource: stored " $4 " bytes, unpacked " $5 " bytes"}'
xvfb-run -a -s "-screen 0 1024x768x24" $b/bench/bench_startup "$runs" \
  "bare-qt-window=$b/bench/bench_barewindow" "plain=$b/app/tvo-setup" "self-contained=$b/demo/setup"
