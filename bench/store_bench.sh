#!/usr/bin/env bash
# The resource store's figures, each against a reference tool in the same run:
#   - WriteEmbeddedArchive with its CRC checks against cat (300 MB in 300
#     pieces, and in 300,000 pieces), and from zstd -19 pieces against zstd -dc;
#   - the size of build/demo/setup against the stripped program plus zstd -19
#     of the library and of the archive;
#   - tvo-pack of the corpus (5,000 files, 266 MB) against tar c | zstd -19 and
#     tar c | xz -9: time and size;
#   - a whole silent installation of the corpus from a compressed payload
#     against the same from an uncompressed one.
#
#   bench/store_bench.sh [--files N] [--mb MEGABYTES] [--rounds N] [--quick]
#                        [--rows] [--build DIR] [--data DIR]
# --quick leaves out the corpus rows (packing at level 19 and xz -9 take
# minutes); --rows prints tab-separated "ROW path ours reference unit goal"
# lines for scripts/bench.sh (scripts/bench-store.sh) instead of a table.
set -euo pipefail
cd "$(dirname "$0")/.."
files=5000 mb=266 rounds=3 quick=0 rowsonly=0 build=build data=""
while [ $# -gt 0 ]; do
  case "$1" in
    --files) files="$2"; shift 2 ;;
    --mb) mb="$2"; shift 2 ;;
    --rounds) rounds="$2"; shift 2 ;;
    --quick) quick=1; shift ;;
    --rows) rowsonly=1; shift ;;
    --build) build="$2"; shift 2 ;;
    --data) data="$2"; shift 2 ;;
    *) sed -n '13,14p' "$0" >&2; exit 2 ;;
  esac
done

if [ ! -f "$build/CMakeCache.txt" ]; then bash scripts/build.sh >/dev/null; fi
cmake --build "$build" -j"$(nproc)" --target bench_store tvo-pack demo >/dev/null
pack=$build/tools/tvo-pack/tvo-pack
lib="$(grep -m1 '^TVO_UNRAR_LIBRARY' "$build/CMakeCache.txt" 2>/dev/null | cut -d= -f2 || true)"
[ -n "$lib" ] || lib="$(find /usr/lib -name libunrar.so.5 -print -quit)"

if [ -z "$data" ]; then
  data=/dev/shm
  if [ -w "$data" ] && [ "$(stat -f -c %T "$data")" = tmpfs ]; then
    echo "store_bench: data on tmpfs ($data)" >&2
  else
    data="${TMPDIR:-/tmp}"
    echo "store_bench: no writable tmpfs, data in $data" >&2
  fi
fi
work="$(mktemp -d "$data/store_bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

rows=()
row() { rows+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"$'\t'"$5"); } # PATH OURS REF UNIT GOAL
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN {printf "%.3f", b - a}'; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

# WriteEmbeddedArchive against cat and zstd -dc.
for row_args in "300 1000000 0|1.3" "300 1000 0|-" "300 1000000 19|-"; do
  set -- ${row_args%%|*}
  if [ "$3" = 19 ] && [ "$quick" = 1 ]; then continue; fi
  line="$("$build/bench/bench_store" embed "$work" "$1" "$2" "$3" | grep '^ROW|')"
  IFS='|' read -r _ path ours ref _ <<<"$line"
  row "$path" "$ours" "$ref" s "${row_args##*|}"
done

# The demo installer's size.
mkdir -p "$work/demo"
"$pack" --unpack "$build/demo/setup" "$work/demo/u" >/dev/null
cat $(ls -v "$work"/demo/u/TVODEMO_*) > "$work/demo/a.rar"
program=$(stat -c %s "$build/ship/setup")
zlib=$(zstd -q -19 -c < "$lib" | wc -c)
zarc=$(zstd -q -19 -c < "$work/demo/a.rar" | wc -c)
row "size of build/demo/setup (stripped program + zstd -19 of library and archive)" \
  "$(stat -c %s "$build/demo/setup")" "$((program + zlib + zarc))" B 1.1

if [ "$quick" = 0 ]; then
  corpus="$work/TVO-DEMO"
  "$build/bench/bench_store" corpus "$corpus" "$files" "$mb"
  t0=$(now)
  "$pack" --library "$lib" --folder "$corpus" "$build/ship/setup" "$work/setup-zstd"
  tpack=$(since "$t0")
  "$pack" --no-compress --library "$lib" --folder "$corpus" "$build/ship/setup" "$work/setup-plain"
  t0=$(now); tar -C "$work" -cf - TVO-DEMO | zstd -q -19 -c > "$work/c.tar.zst"; tzstd=$(since "$t0")
  t0=$(now); tar -C "$work" -cf - TVO-DEMO | xz -9 -c > "$work/c.tar.xz"; txz=$(since "$t0")
  payload=$(($(stat -c %s "$work/setup-zstd") - program))
  row "tvo-pack of the $mb MB corpus, time (tar c | zstd -19)" "$tpack" "$tzstd" s -
  row "tvo-pack of the $mb MB corpus, time (tar c | xz -9)" "$tpack" "$txz" s -
  row "tvo-pack of the $mb MB corpus, payload size (tar c | zstd -19)" "$payload" "$(stat -c %s "$work/c.tar.zst")" B -
  row "tvo-pack of the $mb MB corpus, payload size (tar c | xz -9)" "$payload" "$(stat -c %s "$work/c.tar.xz")" B -

  # Whole silent installations in turns, on the same file system.
  install() {
    rm -rf "$work/target"
    local t0 t
    t0=$(now)
    "$1" --very-silent --dir="$work/target" --no-icons --no-launch >/dev/null 2>&1
    t=$(since "$t0")
    [ "$(find "$work/target" -type f | wc -l)" -ge "$files" ] || { echo "store_bench: installation from $1 incomplete" >&2; exit 1; }
    echo "$t"
  }
  install "$work/setup-zstd" >/dev/null
  zs=() ps=()
  for i in $(seq "$rounds"); do
    if [ $((i % 2)) = 1 ]; then
      zs+=("$(install "$work/setup-zstd")"); ps+=("$(install "$work/setup-plain")")
    else
      ps+=("$(install "$work/setup-plain")"); zs+=("$(install "$work/setup-zstd")")
    fi
  done
  row "whole silent installation, $files entries, compressed payload (uncompressed payload)" \
    "$(printf '%s\n' "${zs[@]}" | median)" "$(printf '%s\n' "${ps[@]}" | median)" s 1.1
fi

if [ "$rowsonly" = 1 ]; then
  for r in "${rows[@]}"; do printf 'ROW\t%s\n' "$r"; done
  exit 0
fi
{
  printf 'path\tours\treference\tratio\tgoal\n'
  for r in "${rows[@]}"; do
    IFS=$'\t' read -r path ours ref unit goal <<<"$r"
    printf '%s\t%s %s\t%s %s\t%s\t%s\n' "$path" "$ours" "$unit" "$ref" "$unit" \
      "$(awk -v a="$ours" -v b="$ref" 'BEGIN {printf "%.2f", a / b}')" "$([ "$goal" = - ] && echo - || echo "≤ $goal")"
  done
} | column -t -s $'\t'
