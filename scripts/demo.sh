#!/usr/bin/env bash
# Installs what is missing, builds, and starts the demo installer.
#   bash scripts/demo.sh          the Linux installer (build/demo/setup)
#   bash scripts/demo.sh --wine   the Windows installer (build/win/demo/setup.exe)
#                                 under Wine, in a Wine prefix of its own
#                                 (~/.cache/tvo-setup/demo-wine): C:\ is its
#                                 drive_c folder, nothing else is touched
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-}" in
  "") ;;
  --wine) ;;
  *) echo "usage: $0 [--wine]" >&2; exit 2 ;;
esac
bash scripts/build.sh
[ "${1:-}" = --wine ] && bash scripts/build-win.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run it from a desktop session, or under  xvfb-run -a -s '-screen 0 1024x768x24' bash $0 $*" >&2
  exit 2
fi
if [ "${1:-}" = --wine ]; then
  export WINEPREFIX="${XDG_CACHE_HOME:-$HOME/.cache}/tvo-setup/demo-wine"
  export WINEDLLOVERRIDES="winemenubuilder.exe=d" WINEDEBUG="${WINEDEBUG:--all}"
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "demo: making the Wine prefix $WINEPREFIX"
    wine wineboot -i >/dev/null 2>&1
  fi
  echo "demo: C:\\ is $WINEPREFIX/drive_c"
  exec wine build/win/demo/setup.exe
fi
exe=build/demo/setup
[ -x "$exe" ] || exe=build/app/tvo-setup
exec "$exe"
