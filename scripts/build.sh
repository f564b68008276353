#!/usr/bin/env bash
# Configures and builds into build/ (after the set-up script). The shipped
# installers are linked against a static Qt that static-qt.sh builds once per
# machine (about 15 minutes on two cores the first time).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
start=$(date +%s)
qt="$(bash scripts/static-qt.sh | tail -1)"
echo "build: static Qt in $qt ($(( $(date +%s) - start )) s)"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
generator=()
if [ ! -f build/CMakeCache.txt ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S . -B build "${generator[@]}" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVO_STATIC_QT="$qt" "${launcher[@]}" >/dev/null
cmake --build build -j"$(nproc)"
