#!/usr/bin/env bash
# Cross-builds the Windows program, the demo installers and the tests into
# build/win (after the set-up script): the static Qt for Windows and the libraries below it are
# made once per machine (win-qt.sh, win-deps.sh), the rest with MinGW-w64.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh >/dev/null
start=$(date +%s)
deps="$(bash scripts/win-deps.sh | tail -1)"
qt="$(bash scripts/win-qt.sh | tail -1)"
echo "build-win: Qt for Windows in $qt, libraries in $deps ($(( $(date +%s) - start )) s)"
# The demo installers are packed by the Linux build's tools.
if [ -f build/CMakeCache.txt ]; then
  cmake --build build -j"$(nproc)" --target tvo-pack tvo-gensample
else
  bash scripts/build.sh
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
generator=()
if [ ! -f build/win/CMakeCache.txt ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B build/win "${generator[@]}" -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DTVO_WIN_QT="$qt" -DTVO_WIN_DEPS="$deps" -DTVO_HOST_BUILD="$PWD/build" "${launcher[@]}" >/dev/null
cmake --build build/win -j"$(nproc)"
