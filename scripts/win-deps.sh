#!/usr/bin/env bash
# Builds the libraries below the Windows installer, for x86_64 Windows with
# MinGW-w64, from Debian's own source packages (the versions the Linux build
# links against), so that the Windows program is made from the same code:
#   - zstd, libdeflate and libjpeg-turbo as static libraries (PREFIX/lib,
#     PREFIX/include): the resource store and the picture reader link them
#     in, and the installer needs no DLL of theirs;
#   - the unrar library as PREFIX/bin/unrar.dll, from the non-free
#     unrar-nonfree source of the same version as the system's libunrar5 (the
#     binding is tested against that one on Linux). It is a DLL, as the
#     installer loads it at run time, and it imports only DLLs that every
#     Windows has: the compiler's run-time libraries are linked into it.
# Each library's debian/copyright goes to PREFIX/share/doc/<library>.
# Made once per machine: the result lives in a cache folder keyed by the
# sources, the compilers and the options below, and a later call only prints
# where it is. Prints the prefix on its last line.
#   usage: win-deps.sh
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
toolchain="$here/../cmake/mingw-w64-x86_64.cmake"
# Our own additions to the unrar library's source.
helpers="$here/win-deps"
MINGW=x86_64-w64-mingw32
CC=$MINGW-gcc-posix
CXX=$MINGW-g++-posix

ZSTD_SRC=libzstd
DEFLATE_SRC=libdeflate
JPEG_SRC=libjpeg-turbo
UNRAR_SRC=unrar-nonfree

OPT_FLAGS="-O2 -DNDEBUG"
CMAKE_COMMON=(
  -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_C_FLAGS_RELEASE="$OPT_FLAGS" -DCMAKE_CXX_FLAGS_RELEASE="$OPT_FLAGS"
)
ZSTD_OPTIONS=(
  -DZSTD_BUILD_STATIC=ON -DZSTD_BUILD_SHARED=OFF -DZSTD_BUILD_PROGRAMS=OFF -DZSTD_BUILD_TESTS=OFF
  -DZSTD_BUILD_CONTRIB=OFF
)
# Only the static library is built (the programs and the TurboJPEG API are
# not); without NASM the SIMD code cannot be assembled, and for the few
# pictures of the wizard the C code is enough, so it is left out on purpose
# rather than by whichever assembler a machine happens to have.
JPEG_OPTIONS=(
  -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_SIMD=OFF
)
# libdeflate 1.14 builds with its own makefile: only the static library.
DEFLATE_OPTIONS=(DISABLE_SHARED=1)
# As upstream's Windows project builds the DLL (UnRARDll.vcxproj): its file
# list, dll.def for the exports, dll.rc for the version resource.
UNRAR_DEFINES=(RARDLL SILENT)
UNRAR_LIBS=(ole32 oleaut32 wbemuuid powrprof shlwapi)
# -static links libgcc, libstdc++ and winpthread into the DLL; -s strips it;
# without a time stamp the same sources make the same bytes.
UNRAR_LINK_FLAGS=(-static -s -Wl,--no-insert-timestamp)

# What the installer's binding calls: the DLL must export all of these.
UNRAR_EXPORTS=(RAROpenArchive RAROpenArchiveEx RARReadHeader RARReadHeaderEx RARProcessFile RARProcessFileW
  RARCloseArchive RARGetDllVersion RARSetCallback)
# The only DLLs it may import: parts of every Windows (and of Wine).
SYSTEM_DLLS=(kernel32.dll advapi32.dll user32.dll shell32.dll shlwapi.dll ole32.dll oleaut32.dll powrprof.dll
  msvcrt.dll)

# The cache key: the sources' checksums, the compilers, the options above,
# our additions and LAYOUT, which is raised whenever this script builds or lays
# out the result differently.
LAYOUT=1

cache_root="${TVO_CACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tvo-setup}"
mkdir -p "$cache_root/sources"
cd "$cache_root/sources"

# The unrar library's version is the one of the system's libunrar5.
unrar_version="$(dpkg-query -W -f='${db:Status-Abbrev}${Version}' libunrar5 2>/dev/null | sed -n 's/^ii *//p')"
if [ -z "$unrar_version" ]; then
  unrar_version="$(apt-cache policy libunrar5 2>/dev/null | sed -n 's/^ *Candidate: \([^(].*\)$/\1/p')"
fi
if [ -z "$unrar_version" ]; then
  echo "win-deps: libunrar5 is neither installed nor available: run scripts/setup.sh" >&2
  exit 1
fi
unrar_dsc="${UNRAR_SRC}_${unrar_version#*:}.dsc"

# The sources, through apt (deb-src lines are added by setup.sh); the folder
# is shared with the other build scripts.
exec 8>"$cache_root/sources.lock"
flock 8
for src in "$ZSTD_SRC" "$DEFLATE_SRC" "$JPEG_SRC"; do
  if ! ls "${src}"_*.dsc >/dev/null 2>&1; then
    echo "win-deps: downloading the source of $src" >&2
    apt-get source --download-only -qq "$src" >&2
  fi
done
if [ ! -f "$unrar_dsc" ]; then
  echo "win-deps: downloading the source of $UNRAR_SRC $unrar_version" >&2
  apt-get source --download-only -qq "$UNRAR_SRC=$unrar_version" >&2
fi
flock -u 8
zstd_dsc="$(ls ${ZSTD_SRC}_*.dsc | sort -V | tail -1)"
deflate_dsc="$(ls ${DEFLATE_SRC}_*.dsc | sort -V | tail -1)"
jpeg_dsc="$(ls ${JPEG_SRC}_*.dsc | sort -V | tail -1)"

compilers() {
  "$CC" -v 2>&1 | tail -1
  "$CXX" -v 2>&1 | tail -1
  dpkg-query -W -f='${Package} ${Version}\n' gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix \
    gcc-mingw-w64-x86-64-posix-runtime mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 2>/dev/null || true
}
key="$( { echo "win-deps $LAYOUT"; cat "$zstd_dsc" "$deflate_dsc" "$jpeg_dsc" "$unrar_dsc" "$toolchain" "$helpers"/*;
          compilers; printf '%s\n' "$OPT_FLAGS" "${CMAKE_COMMON[@]}" "${ZSTD_OPTIONS[@]}" "${JPEG_OPTIONS[@]}" \
            "${DEFLATE_OPTIONS[@]}" "${UNRAR_DEFINES[@]}" "${UNRAR_LIBS[@]}" "${UNRAR_LINK_FLAGS[@]}"; } \
        | sha256sum | cut -c1-16)"
prefix="$cache_root/win-deps-$key"
# One build at a time: a second caller waits for the first one's result.
exec 9>"$prefix.lock"
flock 9
if [ -f "$prefix/.complete" ]; then
  echo "$prefix"
  exit 0
fi

start=$(date +%s)
work="$cache_root/work-win-deps-$key"
rm -rf "$work" "$prefix"
mkdir -p "$work" "$prefix/lib" "$prefix/include" "$prefix/bin"
cd "$work"
for dsc in "$zstd_dsc" "$deflate_dsc" "$jpeg_dsc" "$unrar_dsc"; do
  dpkg-source --no-check -x "$cache_root/sources/$dsc" "${dsc%%_*}" >/dev/null 2>&1
done

launcher=()
cc_launcher=""
if command -v ccache >/dev/null; then
  export CCACHE_BASEDIR="$work" CCACHE_NOHASHDIR=1
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  cc_launcher="ccache "
fi
cmake_common=("${CMAKE_COMMON[@]}" "${launcher[@]}" -DCMAKE_TOOLCHAIN_FILE="$toolchain")

# Runs one library's build with its output in NAME.log, shown in part when
# it fails, and says how long it took.
step() {
  local name="$1" t0
  shift
  t0=$(date +%s)
  echo "win-deps: building $name (log: $work/$name.log)" >&2
  # In a subshell outside any condition, so that set -e holds in the build.
  set +e
  (set -e; "$@") >"$work/$name.log" 2>&1
  local rc=$?
  set -e
  if [ "$rc" != 0 ]; then
    grep -B2 -A20 -m3 'FAILED\|[Ee]rror' "$work/$name.log" | head -80 >&2 || tail -40 "$work/$name.log" >&2
    echo "win-deps: $name failed" >&2
    exit 1
  fi
  echo "win-deps: $name built in $(( $(date +%s) - t0 )) s" >&2
}

copyright() {
  mkdir -p "$prefix/share/doc/$1"
  cp "$work/$2/debian/copyright" "$prefix/share/doc/$1/copyright"
}

build_zstd() {
  cmake -S "$ZSTD_SRC/build/cmake" -B zstd-build "${cmake_common[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" \
    "${ZSTD_OPTIONS[@]}"
  cmake --build zstd-build --parallel "$(nproc)"
  cmake --install zstd-build
  copyright zstd "$ZSTD_SRC"
}

build_deflate() {
  make -C "$DEFLATE_SRC" -j"$(nproc)" CC="$cc_launcher$CC" AR="$MINGW-ar" CFLAGS="$OPT_FLAGS" \
    "${DEFLATE_OPTIONS[@]}" libdeflatestatic.lib
  cp "$DEFLATE_SRC/libdeflatestatic.lib" "$prefix/lib/libdeflate.a"
  cp "$DEFLATE_SRC/libdeflate.h" "$prefix/include/"
  copyright libdeflate "$DEFLATE_SRC"
}

build_jpeg() {
  cmake -S "$JPEG_SRC" -B jpeg-build "${cmake_common[@]}" -DCMAKE_INSTALL_PREFIX="$prefix" "${JPEG_OPTIONS[@]}"
  cmake --build jpeg-build --parallel "$(nproc)" --target jpeg-static
  cp jpeg-build/libjpeg.a "$prefix/lib/"
  cp jpeg-build/jconfig.h "$JPEG_SRC"/jpeglib.h "$JPEG_SRC"/jmorecfg.h "$JPEG_SRC"/jerror.h "$prefix/include/"
  copyright libjpeg-turbo "$JPEG_SRC"
}

build_unrar() {
  local src="$work/$UNRAR_SRC" sources
  # The source includes two Windows SDK headers by names that differ in case
  # from MinGW-w64's; forwarders of those names find them.
  mkdir -p unrar-include unrar-cmake
  echo '#include <powrprof.h>' >unrar-include/PowrProf.h
  echo '#include <wbemidl.h>' >unrar-include/Wbemidl.h
  sources="$(sed -n 's/.*<ClCompile Include="\([^"]*\.cpp\)".*/\1/p' "$src/UnRARDll.vcxproj" | tr '\n' ';')"
  cat >unrar-cmake/CMakeLists.txt <<'CMAKE'
cmake_minimum_required(VERSION 3.16)
project(unrar CXX RC)
list(TRANSFORM UNRAR_SOURCES PREPEND "${UNRAR_DIR}/")
add_library(unrar SHARED ${UNRAR_SOURCES} "${UNRAR_DIR}/dll.def" "${UNRAR_DIR}/dll.rc" ${UNRAR_HELPERS})
set_target_properties(unrar PROPERTIES PREFIX "" OUTPUT_NAME unrar)
target_compile_definitions(unrar PRIVATE ${UNRAR_DEFINES})
target_include_directories(unrar PRIVATE "${UNRAR_INCLUDE}" "${UNRAR_DIR}")
target_link_options(unrar PRIVATE ${UNRAR_LINK_FLAGS})
target_link_libraries(unrar PRIVATE ${UNRAR_LIBS})
CMAKE
  cmake -S unrar-cmake -B unrar-build "${cmake_common[@]}" -DUNRAR_DIR="$src" -DUNRAR_SOURCES="$sources" \
    -DUNRAR_HELPERS="$(ls "$helpers"/*.cpp | tr '\n' ';')" -DUNRAR_INCLUDE="$work/unrar-include" \
    -DUNRAR_DEFINES="$(IFS=';'; echo "${UNRAR_DEFINES[*]}")" -DUNRAR_LIBS="$(IFS=';'; echo "${UNRAR_LIBS[*]}")" \
    -DUNRAR_LINK_FLAGS="$(IFS=';'; echo "${UNRAR_LINK_FLAGS[*]}")"
  cmake --build unrar-build --parallel "$(nproc)"
  cp unrar-build/unrar.dll "$prefix/bin/unrar.dll"
  copyright unrar "$UNRAR_SRC"
}

step zstd build_zstd
step libdeflate build_deflate
step libjpeg-turbo build_jpeg
step unrar build_unrar

# The DLL exports what the binding calls and imports only system DLLs (a
# run-time library of the compiler that was not linked in would show here).
dump="$($MINGW-objdump -p "$prefix/bin/unrar.dll")"
exports="$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] //p' <<<"$dump")"
imports="$(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '[:upper:]' '[:lower:]')"
bad=0
for name in "${UNRAR_EXPORTS[@]}"; do
  grep -qx "$name" <<<"$exports" || { echo "win-deps: unrar.dll does not export $name" >&2; bad=1; }
done
for dll in $imports; do
  [[ " ${SYSTEM_DLLS[*]} " == *" $dll "* ]] || { echo "win-deps: unrar.dll imports $dll" >&2; bad=1; }
done
# The static libraries link into a program by their headers alone.
cat >"$work/linkcheck.c" <<'C'
#include <stdio.h>
#include <zstd.h>
#include <libdeflate.h>
#include <jpeglib.h>
int main(void)
{
  struct jpeg_decompress_struct info;
  struct jpeg_error_mgr err;
  struct libdeflate_decompressor *d = libdeflate_alloc_decompressor();
  info.err = jpeg_std_error(&err);
  jpeg_create_decompress(&info);
  jpeg_destroy_decompress(&info);
  libdeflate_free_decompressor(d);
  return (int)(ZSTD_versionNumber() != ZSTD_VERSION_NUMBER);
}
C
"$CC" $OPT_FLAGS -I"$prefix/include" "$work/linkcheck.c" -o "$work/linkcheck.exe" -static \
  -L"$prefix/lib" -lzstd -ldeflate -ljpeg >"$work/linkcheck.log" 2>&1 \
  || { cat "$work/linkcheck.log" >&2; echo "win-deps: the static libraries do not link" >&2; bad=1; }
[ "$bad" = 0 ] || exit 1

touch "$prefix/.complete"
rm -rf "$work"
end=$(date +%s)
echo "win-deps: built in $(( (end - start) / 60 )) min $(( (end - start) % 60 )) s," \
  "unrar.dll $(( $(stat -c %s "$prefix/bin/unrar.dll") / 1024 )) KB, in $prefix" >&2
echo "$prefix"
