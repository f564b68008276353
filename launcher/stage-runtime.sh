#!/usr/bin/env bash
# Lays out the installer's runtime in a folder:
#   tvo-setup                     the installer, stripped (its RPATH is $ORIGIN/lib)
#   lib/                          every library it and the plugin need beyond
#                                 the system libraries of system-libs.txt
#   plugins/                      the xcb platform plugin (offscreen for the silent
#                                 modes); the GIF, ICO and JPEG
#                                 readers (the icon, the chooser's previews)
#   fonts/                        the layouts' fonts
# usage: stage-runtime.sh INSTALLER QT_PLUGIN_DIR OUTDIR FONT...
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
installer="$1" plugins="$2" out="$3"
shift 3

rm -rf "$out"
mkdir -p "$out/lib" "$out/fonts"
strip --strip-all -o "$out/tvo-setup" "$installer"
PLUGINS=(platforms/libqxcb.so platforms/libqoffscreen.so imageformats/libqgif.so imageformats/libqico.so imageformats/libqjpeg.so)
for p in "${PLUGINS[@]}"; do
  mkdir -p "$out/plugins/$(dirname "$p")"
  install -m 0644 "$plugins/$p" "$out/plugins/$p"
done
for font in "$@"; do
  install -m 0644 "$font" "$out/fonts/"
done

system_re="$(grep -Ev '^(#|$)' "$here/system-libs.txt" | paste -sd'|')"
# ldd lists every library the loader would map, with what it found.
objects=("$installer")
for p in "${PLUGINS[@]}"; do objects+=("$plugins/$p"); done
deps="$(ldd "${objects[@]}" | awk '/=>/ {print $1, $3}' | sort -u)"
if ldd "${objects[@]}" | grep -q 'not found'; then
  echo "stage-runtime: a library of the installer was not found" >&2
  exit 1
fi
while read -r soname path; do
  grep -Eq "$system_re" <<<"$soname" && continue
  install -m 0644 "$(readlink -f "$path")" "$out/lib/$soname"
done <<<"$deps"
echo "stage-runtime: $(ls "$out/lib" | wc -l) libraries, $(du -sk "$out" | cut -f1) KiB in $out"
