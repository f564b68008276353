#!/usr/bin/env bash
# Builds the static, minimal Qt 6 that the shipped installers are linked
# against, with a static xkbcommon below it, from Debian's own source packages
# (the same versions the system has). Made once per machine: the result lives
# in a cache folder keyed by the sources' checksums and the options below, and
# a later call only prints where it is. Prints the prefix on its last line.
#   usage: static-qt.sh
set -euo pipefail

QT_SRC=qt6-base
XKB_SRC=libxkbcommon
LIBDIR=/usr/lib/x86_64-linux-gnu
[ -d "$LIBDIR" ] || LIBDIR="/usr/lib/$(gcc -print-multiarch)"

# What the installer uses of Qt: Core, Gui, Widgets, DBus (loaded at run
# time, for the accessibility bridge), the xcb and offscreen platforms and
# the picture readers of the chooser's preview. Everything else is left out.
QT_OPTIONS=(
  -static -release -optimize-size -gc-binaries -nomake examples -nomake tests
  -no-icu -no-glib -no-opengl -no-fontconfig -no-zstd -no-libudev -no-evdev -no-libinput -no-mtdev -no-tslib
  -qt-freetype -qt-harfbuzz -qt-libpng -qt-pcre -qt-zlib -qt-doubleconversion -qt-libb2 -system-libjpeg
  -dbus-runtime -xcb -no-xcb-xlib -bundled-xcb-xinput -no-eglfs -no-linuxfb -no-vulkan -no-directfb -no-gbm -no-kms
  -no-feature-sql -no-feature-network -no-feature-printsupport -no-feature-concurrent -no-feature-testlib
  -no-feature-xml -no-feature-sessionmanager -no-feature-xcb-sm -no-feature-pdf -no-feature-textodfwriter
  -no-feature-textmarkdownreader -no-feature-textmarkdownwriter -no-feature-systemtrayicon -no-feature-tuiotouch
  -no-feature-vnc -no-feature-graphicsview -no-feature-calendarwidget -no-feature-datetimeedit -no-feature-dial
  -no-feature-lcdnumber -no-feature-fontcombobox -no-feature-fontdialog -no-feature-colordialog
  -no-feature-wizard -no-feature-mdiarea -no-feature-undocommand -no-feature-undostack -no-feature-undogroup
  -no-feature-undoview -no-feature-keysequenceedit -no-feature-sharedmemory -no-feature-systemsemaphore
  -no-feature-journald -no-feature-lttng -no-feature-jalalicalendar -no-feature-islamiccivilcalendar
  -no-feature-mimetype-database -no-feature-style-stylesheet
)
# No unwind tables where no exception can pass: Qt's C++ outside the parts it
# builds with exceptions, and the C libraries. Exceptions of the installer's
# own code are caught in its own frames; none crosses a Qt frame.
UNWIND_FLAGS="-fno-asynchronous-unwind-tables -fno-unwind-tables"
XKB_OPTIONS=(
  -Ddefault_library=static -Denable-x11=true -Denable-wayland=false -Denable-docs=false -Denable-tools=false
  -Denable-xkbregistry=false
  -Dxkb-config-root=/usr/share/X11/xkb -Dx-locale-root=/usr/share/X11/locale
)
# The xcb libraries are linked statically: Debian's -dev packages ship them.
XCB_LIBS=(XCB:xcb ICCCM:xcb-icccm IMAGE:xcb-image KEYSYMS:xcb-keysyms RANDR:xcb-randr RENDER:xcb-render
  RENDERUTIL:xcb-render-util SHAPE:xcb-shape SHM:xcb-shm SYNC:xcb-sync XFIXES:xcb-xfixes XKB:xcb-xkb
  UTIL:xcb-util CURSOR:xcb-cursor)

# The cache key: the sources' checksums, the options above and LAYOUT, which
# is raised whenever this script lays out the result differently.
LAYOUT=1

# Our own changes to Qt's source, applied after Debian's.
patches="$(cd "$(dirname "$0")" && pwd)/qt-patches"

cache_root="${TVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tvo-setup}"
mkdir -p "$cache_root/sources"
cd "$cache_root/sources"

# The sources, through apt (deb-src lines are added by setup.sh).
for src in "$QT_SRC" "$XKB_SRC"; do
  if ! ls "${src}"_*.dsc >/dev/null 2>&1; then
    echo "static-qt: downloading the source of $src" >&2
    apt-get source --download-only -qq "$src" >&2
  fi
done
qt_dsc="$(ls ${QT_SRC}_*.dsc | sort -V | tail -1)"
xkb_dsc="$(ls ${XKB_SRC}_*.dsc | sort -V | tail -1)"
key="$( { echo "$LAYOUT"; cat "$qt_dsc" "$xkb_dsc" "$patches"/*.patch; printf '%s\n' "$UNWIND_FLAGS" "${QT_OPTIONS[@]}" "${XKB_OPTIONS[@]}" "${XCB_LIBS[@]}"; } \
        | sha256sum | cut -c1-16)"
prefix="$cache_root/qt-static-$key"
# One build at a time: a second caller waits for the first one's result.
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work="$cache_root/work-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work"
cd "$work"
dpkg-source --no-check -x "$cache_root/sources/$qt_dsc" qt >/dev/null
dpkg-source --no-check -x "$cache_root/sources/$xkb_dsc" xkb >/dev/null
for p in "$patches"/*.patch; do
  patch -d qt -p1 --quiet <"$p"
done

launcher=()
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$work" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

echo "static-qt: building xkbcommon" >&2
CFLAGS="-Os -ffunction-sections -fdata-sections $UNWIND_FLAGS" meson setup xkb-build xkb --prefix="$prefix" --libdir=lib \
  --buildtype=release "${XKB_OPTIONS[@]}" >xkb.log 2>&1 || { tail -40 xkb.log >&2; exit 1; }
ninja -C xkb-build install >>xkb.log 2>&1 || { tail -40 xkb.log >&2; exit 1; }
# Static archives do not name what they need: linker scripts in their place
# bring the libraries below them, so that every link against Qt finds them.
mv "$prefix/lib/libxkbcommon-x11.a" "$prefix/lib/libxkbcommon-x11-objects.a"
echo "GROUP ( $prefix/lib/libxkbcommon-x11-objects.a $LIBDIR/libxcb-xkb.a $prefix/lib/libxcb-static.a )" \
  >"$prefix/lib/libxkbcommon-x11.a"
# libxcb-util comes last too: libxcb-image, linked after it, needs it.
echo "GROUP ( $LIBDIR/libxcb.a $LIBDIR/libXau.a $LIBDIR/libXdmcp.a $LIBDIR/libxcb-util.a )" \
  >"$prefix/lib/libxcb-static.a"

echo "static-qt: configuring Qt (log: $work/configure.log)" >&2
xcb_vars=()
for entry in "${XCB_LIBS[@]}"; do
  xcb_vars+=("-DXCB_${entry%%:*}_LIBRARY=$LIBDIR/lib${entry#*:}.a")
done
xcb_vars+=("-DXCB_XCB_LIBRARY=$prefix/lib/libxcb-static.a")
mkdir qt-build
(cd qt-build && CFLAGS="$UNWIND_FLAGS" CXXFLAGS="$UNWIND_FLAGS" PKG_CONFIG_PATH="$prefix/lib/pkgconfig" ../qt/configure -prefix "$prefix" "${QT_OPTIONS[@]}" -- \
  -G Ninja "${launcher[@]}" -DJPEG_LIBRARY_RELEASE="$LIBDIR/libjpeg.a" -DJPEG_LIBRARY="$LIBDIR/libjpeg.a" \
  "${xcb_vars[@]}") >configure.log 2>&1 || { tail -60 configure.log >&2; exit 1; }
echo "static-qt: building Qt ($(nproc) jobs; log: $work/build.log)" >&2
cmake --build qt-build --parallel "$(nproc)" >build.log 2>&1 || { grep -B2 -A20 'FAILED\|error' build.log | head -80 >&2; exit 1; }
cmake --install qt-build >install.log 2>&1 || { tail -40 install.log >&2; exit 1; }
cp qt-build/config.summary "$prefix/config.summary"
# What a project linking against this Qt has to find as it was found here.
{
  echo "# Written by static-qt.sh: the libraries below the static Qt, linked statically."
  echo "set(JPEG_LIBRARY \"$LIBDIR/libjpeg.a\" CACHE FILEPATH \"\" FORCE)"
  echo "set(JPEG_LIBRARY_RELEASE \"$LIBDIR/libjpeg.a\" CACHE FILEPATH \"\" FORCE)"
  for v in "${xcb_vars[@]}"; do
    v="${v#-D}"
    echo "set(${v%%=*} \"${v#*=}\" CACHE FILEPATH \"\" FORCE)"
  done
  echo "set(ENV{PKG_CONFIG_PATH} \"$prefix/lib/pkgconfig\")"
} >"$prefix/lib/cmake/tvo-static-deps.cmake"
touch "$prefix/.complete"
rm -rf "$work"
end=$(date +%s)
echo "static-qt: built in $(( (end - start) / 60 )) min $(( (end - start) % 60 )) s, $(du -sm "$prefix" | cut -f1) MB in $prefix" >&2
echo "$prefix"
