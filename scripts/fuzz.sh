#!/usr/bin/env bash
# Builds the libFuzzer targets with clang in build-fuzz/ and runs each for a
# fixed number of inputs: the store's reader (trailer, index, compressed
# resources) and the ELF and PE readers. Not part of the tests.
#   scripts/fuzz.sh [RUNS]     (default 100000 inputs per target)
set -euo pipefail
cd "$(dirname "$0")/.."
runs="${1:-100000}"
bash scripts/setup.sh >/dev/null
if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  SUDO=""; if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  echo "fuzz: installing clang (libFuzzer)"
  $SUDO apt-get install -y -qq --no-install-recommends clang libclang-rt-dev >/dev/null
fi
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache); fi
qt="$(bash scripts/static-qt.sh | tail -1)"
CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTVO_FUZZ=ON -DTVO_STATIC_QT="$qt" \
  "${launcher[@]}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target fuzz_resstore fuzz_elf fuzz_make_seeds >/dev/null
if cmake --build build-fuzz --target help | grep -q '^pefixtures'; then cmake --build build-fuzz --target pefixtures >/dev/null; fi

work="build-fuzz/fuzz-run"
rm -rf "$work" && mkdir -p "$work/seeds/store" "$work/seeds/elf"
lib="$(find /usr/lib -name 'libunrar.so.5' -print -quit 2>/dev/null || true)"
# The Windows fixtures of the tests (tests/fixtures/pe), where MinGW-w64 built them, seed the PE readers.
pe=(); for f in build-fuzz/tests/fixtures/pe/*.exe build-fuzz/tests/fixtures/pe/*.dll; do [ -f "$f" ] && pe+=("$f"); done
build-fuzz/tests/fuzz/fuzz_make_seeds "$work/seeds" build-fuzz/tests/fuzz/fuzz_make_seeds ${lib:+"$lib"} "${pe[@]}"
status=0
for t in resstore:store elf:elf; do
  target="fuzz_${t%%:*}" seeds="$work/seeds/${t##*:}"
  mkdir -p "$work/corpus-$target"
  echo "fuzz: $target, $runs inputs"
  if build-fuzz/tests/fuzz/"$target" -runs="$runs" -max_len=65536 -rss_limit_mb=1024 -print_final_stats=1 \
      -artifact_prefix="$work/$target-" "$work/corpus-$target" "$seeds" >"$work/$target.log" 2>&1; then
    grep -E "stat::number_of_executed_units|cov:" "$work/$target.log" | tail -2
  else
    status=1
    echo "fuzz: $target FAILED, see $work/$target.log and the crash input $work/$target-*"
    tail -30 "$work/$target.log"
  fi
done
exit $status
