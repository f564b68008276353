#!/usr/bin/env bash
# The resource store's figures, each against a reference tool in the same run,
# as a table: path, ours, reference, ratio, goal (scripts/bench.sh can take
# its rows into its own table):
#   - WriteEmbeddedArchive with its CRC checks against cat (300 MB, 300 pieces),
#     the same in 300,000 pieces, and from zstd pieces against zstd -dc;
#   - the size of build/demo/setup against the stripped program plus zstd -19
#     of the library and of the archive;
#   - a whole silent installation of a 5,000-file corpus from a compressed
#     payload against the same from an uncompressed one;
#   - tvo-pack of the corpus against tar c | zstd -19 and tar c | xz -9 (time
#     and size).
#   bench/store_bench.sh [--files N] [--mb MEGABYTES] [--rounds N] [--quick]
# --quick leaves out the corpus rows (packing at level 19 and xz -9 take minutes).
set -euo pipefail
cd "$(dirname "$0")/.."
files=5000 mb=266 rounds=3 quick=0
while [ $# -gt 0 ]; do
  case "$1" in
    --files) files="$2"; shift 2 ;;
    --mb) mb="$2"; shift 2 ;;
    --rounds) rounds="$2"; shift 2 ;;
    --quick) quick=1; shift ;;
    *) echo "usage: bench/store_bench.sh [--files N] [--mb MEGABYTES] [--rounds N] [--quick]" >&2; exit 2 ;;
  esac
done

if [ ! -f build/CMakeCache.txt ]; then bash scripts/build.sh >/dev/null; fi
cmake --build build -j"$(nproc)" --target bench_store tvo-pack demo >/dev/null
pack=build/tools/tvo-pack/tvo-pack
lib="$(grep -m1 '^TVO_UNRAR_LIBRARY' build/CMakeCache.txt 2>/dev/null | cut -d= -f2 || true)"
[ -n "$lib" ] || lib="$(find /usr/lib -name libunrar.so.5 -print -quit)"

base=/dev/shm
if [ -w "$base" ] && [ "$(stat -f -c %T "$base")" = tmpfs ]; then
  echo "store_bench: data on tmpfs ($base)" >&2
else
  base="${TMPDIR:-/tmp}"
  echo "store_bench: no writable tmpfs, data in $base" >&2
fi
work="$(mktemp -d "$base/store_bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

rows=()
row() { rows+=("$(printf '%s\t%s\t%s\t%s\t%s' "$1" "$2" "$3" "$4" "$5")"); }
now() { date +%s.%N; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

# WriteEmbeddedArchive against cat and zstd -dc.
for spec in "300 1000000 0|≤ 1.3" "300 1000 0|report" "300 1000000 19|report"; do
  set -- ${spec%%|*}
  if [ "$3" = 19 ] && [ "$quick" = 1 ]; then continue; fi
  line="$(build/bench/bench_store embed "$work" "$1" "$2" "$3" | grep '^ROW|')"
  IFS='|' read -r _ path ours ref r <<<"$line"
  row "$path" "${ours} s" "${ref} s" "$r" "${spec##*|}"
done

# The demo installer's size.
mkdir -p "$work/demo"
"$pack" --unpack build/demo/setup "$work/demo/u" >/dev/null
cat $(ls -v "$work"/demo/u/TVODEMO_*) > "$work/demo/a.rar"
program=$(stat -c %s build/ship/setup)
zlib=$(zstd -q -19 -c < "$lib" | wc -c)
zarc=$(zstd -q -19 -c < "$work/demo/a.rar" | wc -c)
demo=$(stat -c %s build/demo/setup)
ref=$((program + zlib + zarc))
row "size of build/demo/setup (ref: stripped program + zstd -19 of library and archive)" "$demo B" "$ref B" \
  "$(ratio "$demo" "$ref")" "≤ 1.1"

if [ "$quick" = 0 ]; then
  corpus="$work/TVO-DEMO"
  build/bench/bench_store corpus "$corpus" "$files" "$mb"
  t0=$(now)
  "$pack" --library "$lib" --folder "$corpus" build/ship/setup "$work/setup-zstd"
  t1=$(now)
  "$pack" --no-compress --library "$lib" --folder "$corpus" build/ship/setup "$work/setup-plain"
  tpack=$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')
  t0=$(now); tar -C "$work" -cf - TVO-DEMO | zstd -q -19 -c > "$work/c.tar.zst"; t1=$(now)
  tzstd=$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')
  t0=$(now); tar -C "$work" -cf - TVO-DEMO | xz -9 -c > "$work/c.tar.xz"; t1=$(now)
  txz=$(awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}')
  sz=$(stat -c %s "$work/setup-zstd") szst=$(stat -c %s "$work/c.tar.zst") sxz=$(stat -c %s "$work/c.tar.xz")
  payload=$((sz - program))
  row "tvo-pack of the $mb MB corpus, time (ref: tar c, zstd -19)" "$(printf %.1f "$tpack") s" \
    "$(printf %.1f "$tzstd") s" "$(ratio "$tpack" "$tzstd")" "report"
  row "tvo-pack of the $mb MB corpus, time (ref: tar c, xz -9)" "$(printf %.1f "$tpack") s" \
    "$(printf %.1f "$txz") s" "$(ratio "$tpack" "$txz")" "report"
  row "tvo-pack of the $mb MB corpus, payload size (ref: tar c, zstd -19)" "$payload B" "$szst B" \
    "$(ratio "$payload" "$szst")" "report"
  row "tvo-pack of the $mb MB corpus, payload size (ref: tar c, xz -9)" "$payload B" "$sxz B" \
    "$(ratio "$payload" "$sxz")" "report"

  # Whole silent installations, alternating, on the same tmpfs.
  install() {
    rm -rf "$work/target"
    local t0 t1
    t0=$(now)
    "$1" --very-silent --dir="$work/target" --no-icons --no-launch >/dev/null 2>&1
    t1=$(now)
    [ "$(find "$work/target" -type f | wc -l)" -ge "$files" ] || { echo "store_bench: installation from $1 incomplete" >&2; exit 1; }
    awk -v a="$t0" -v b="$t1" 'BEGIN {print b - a}'
  }
  install "$work/setup-zstd" >/dev/null
  zs=() ps=()
  for _ in $(seq "$rounds"); do
    zs+=("$(install "$work/setup-zstd")")
    ps+=("$(install "$work/setup-plain")")
  done
  mz=$(printf '%s\n' "${zs[@]}" | median) mp=$(printf '%s\n' "${ps[@]}" | median)
  row "whole installation, $files entries, compressed payload (ref: uncompressed payload)" \
    "$(printf %.2f "$mz") s" "$(printf %.2f "$mp") s" "$(ratio "$mz" "$mp")" "≤ 1.1"
fi

printf '%s\n' "$(printf 'path\tours\treference\tratio\tgoal')" "${rows[@]}" | column -t -s "$(printf '\t')"
