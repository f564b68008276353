#!/bin/sh
# Makes resources/setup.ico, the icon of the Windows programs (setup.exe and
# the sample TVODEMO.EXE), from the pictures the Linux installer draws for
# the icon theme (Integration::drawIcon): it installs the demo into a
# temporary folder and packs its 48-256 pixel pictures, with 16, 24 and 32
# pixel ones scaled from them, into one icon file (ImageMagick).
# Run from the repository root after scripts/build.sh; the output is
# committed, so the build does not need this.
set -eu
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
HOME="$tmp" XDG_DATA_HOME="$tmp/data" build/demo/setup --very-silent --dir="$tmp/inst2" --no-launch >/dev/null
png() { echo "$tmp/data/icons/hicolor/$1x$1/apps/pl.tavro.Tavro2010Demo.png"; }
for s in 16 24 32; do convert "$(png 64)" -filter Lanczos -resize "${s}x${s}" "PNG32:$tmp/$s.png"; done
convert "$tmp/16.png" "$tmp/24.png" "$tmp/32.png" "$(png 48)" "$(png 64)" "$(png 128)" "$(png 256)" resources/setup.ico
