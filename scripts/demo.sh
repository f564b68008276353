#!/usr/bin/env bash
# Installs what is missing, builds, and starts the demo installer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exe=build/demo/setup
[ -x "$exe" ] || exe=build/app/tvo-setup
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run it as  xvfb-run -a -s '-screen 0 1024x768x24' $exe  (or from a desktop session)." >&2
  exit 2
fi
exec "$exe"
