#!/usr/bin/env bash
# Builds the static, minimal Qt 6 for Windows that the Windows installer and
# its tests are linked against: the same Debian qt6-base source as
# static-qt.sh, cross-compiled with MinGW-w64, the host tools (moc, rcc, uic)
# taken from the system's Qt of the same version. Made once per machine into
# the cache, keyed like the Linux build; prints the prefix on its last line.
#   usage: win-qt.sh
set -euo pipefail

QT_SRC=qt6-base
here="$(cd "$(dirname "$0")" && pwd)"
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"

# What the installer uses of Qt on Windows: Core, Gui, Widgets, Test (the
# tests run under Wine), the windows platform with DirectWrite, the Windows
# and Fusion styles, accessibility. The pen tablet support is left out: its
# header (wintab) is not in Debian's source.
QT_OPTIONS=(
  -static -release -optimize-size -nomake examples -nomake tests
  -xplatform win32-g++ -qt-host-path /usr
  -no-icu -no-opengl -no-dbus -no-zstd -no-feature-tabletevent
  -qt-freetype -qt-harfbuzz -qt-libpng -qt-libjpeg -qt-pcre -qt-zlib -qt-doubleconversion
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent
  -no-feature-xml -no-feature-pdf -no-feature-textodfwriter
  -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-systemtrayicon
  -no-feature-graphicsview -no-feature-calendarwidget -no-feature-datetimeedit -no-feature-dial
  -no-feature-lcdnumber -no-feature-fontcombobox -no-feature-fontdialog -no-feature-colordialog
  -no-feature-wizard -no-feature-mdiarea -no-feature-undocommand -no-feature-undostack -no-feature-undogroup
  -no-feature-undoview -no-feature-keysequenceedit -no-feature-sharedmemory -no-feature-systemsemaphore
  -no-feature-jalalicalendar -no-feature-islamiccivilcalendar
  -no-feature-mimetype-database -no-feature-style-stylesheet
)
UNWIND_FLAGS=""
# Raised whenever this script lays out the result differently.
LAYOUT=1

cache_root="${TVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tvo-setup}"
mkdir -p "$cache_root/sources"
cd "$cache_root/sources"
exec 8>"$cache_root/sources.lock"
flock 8
if ! ls "${QT_SRC}"_*.dsc >/dev/null 2>&1; then
  echo "win-qt: downloading the source of $QT_SRC" >&2
  apt-get source --download-only -qq "$QT_SRC" >&2
fi
flock -u 8
qt_dsc="$(ls ${QT_SRC}_*.dsc | sort -V | tail -1)"
key="$( { echo "win $LAYOUT"; cat "$qt_dsc" "$toolchain"; x86_64-w64-mingw32-g++-posix -dumpfullversion;
          printf '%s\n' "${QT_OPTIONS[@]}"; } | sha256sum | cut -c1-16)"
prefix="$cache_root/qt-win-$key"
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work="$cache_root/work-win-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"
dpkg-source --no-check -x "$cache_root/sources/$qt_dsc" qt >/dev/null 2>&1

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$work" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "win-qt: configuring Qt for Windows (log: $work/configure.log)" >&2
mkdir qt-build
(cd qt-build && ../qt/configure -prefix "$prefix" "${QT_OPTIONS[@]}" -- \
  -G Ninja "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake) >configure.log 2>&1 \
  || { tail -60 configure.log >&2; exit 1; }
echo "win-qt: building Qt for Windows ($(nproc) jobs; log: $work/build.log)" >&2
cmake --build qt-build --parallel "$(nproc)" >build.log 2>&1 || { grep -B2 -A20 'FAILED\|error' build.log | head -80 >&2; exit 1; }
cmake --install qt-build >install.log 2>&1 || { tail -40 install.log >&2; exit 1; }
cp qt-build/config.summary "$prefix/config.summary"
touch "$prefix/.complete"
rm -rf "$work"
end=$(date +%s)
echo "win-qt: built in $(( (end - start) / 60 )) min $(( (end - start) % 60 )) s, $(du -sm "$prefix" | cut -f1) MB in $prefix" >&2
echo "$prefix"
