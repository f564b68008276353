#!/usr/bin/env bash
# The build does not rest on one generator: configures the shipped program in
# a fresh folder with CMake's default generator on Linux (Unix Makefiles) and
# builds its font step alone, the custom commands that write into a folder of
# their own. Cheap enough for every test run.
#   usage: build-with-make.sh SOURCE-ROOT STATIC-QT-PREFIX WORK-FOLDER
set -euo pipefail
src="$1" qt="$2" work="$3"
rm -rf "$work"
trap 'rm -rf "$work"' EXIT
cmake -S "$src" -B "$work" -G "Unix Makefiles" -DTVO_SHIP_ONLY=ON -DCMAKE_BUILD_TYPE=Release \
  -DTVO_STATIC_QT="$qt" >"$work.log" 2>&1 || { cat "$work.log" >&2; exit 1; }
rm -f "$work.log"
cmake --build "$work" --target font-subsets -j"$(nproc)"
count=$(find "$work/app/fonts" -name '*.ttf.zst' -size +1k | wc -l)
if [ "$count" != 8 ]; then
  echo "build-with-make: $count of the 8 packed fonts were made" >&2
  exit 1
fi
