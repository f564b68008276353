#!/usr/bin/env bash
# The Windows program's figures under Wine, each against a reference in the
# same run:
#   - the size of build/win/demo/setup.exe against 16,000,000 bytes, with the
#     plain program and the payload's share;
#   - start to visible window of build/win/demo/setup.exe against a bare Qt
#     window built and linked as setup.exe is (build/win/bench/
#     bench_barewindow.exe), taking turns, medians (bench_startup);
#   - a whole --very-silent installation of the benchmark corpus (5,000
#     entries, 266 MB, bench_data) packed by tvo-pack, against an NSIS
#     installer of the same folder (makensis, 64-bit Unicode stub, /S /D=),
#     both also writing their uninstaller and two shortcuts; taking turns,
#     target folders removed between rounds, medians; every installed file is
#     compared with the corpus after every round.
# One Wine prefix of the run's own (in the data folder), its server kept
# running (wineserver -p) and warmed up before any figure, so that Wine's own
# start costs the same for every program. The load average is printed with
# each figure: the machine should be idle.
#
#   bench/win_bench.sh [--rounds N] [--starts N] [--entries N] [--mb MEGABYTES]
#                      [--solid] [--display N] [--data DIR] [--keep]
# --solid packs the NSIS installer with SetCompressor /SOLID lzma (minutes)
# instead of NSIS's default (zlib, not solid); --display picks the Xvfb
# display (default 99); --keep leaves the work folder.
set -euo pipefail
cd "$(dirname "$0")/.."
rounds=5 starts=15 entries=5000 mb=266 solid=0 display=99 data="" keep=0
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds="$2"; shift 2 ;;
    --starts) starts="$2"; shift 2 ;;
    --entries) entries="$2"; shift 2 ;;
    --mb) mb="$2"; shift 2 ;;
    --solid) solid=1; shift ;;
    --display) display="$2"; shift 2 ;;
    --data) data="$2"; shift 2 ;;
    --keep) keep=1; shift ;;
    *) sed -n '20,25p' "$0" >&2; exit 2 ;;
  esac
done

win=build/win host=build
demo=$win/demo/setup.exe plain=$win/app/setup.exe bare=$win/bench/bench_barewindow.exe
pack=$host/tools/tvo-pack/tvo-pack
for t in "$demo:demo" "$bare:bench_barewindow"; do
  [ -f "${t%%:*}" ] || cmake --build $win --target "${t##*:}" >/dev/null
done
for t in "$pack:tvo-pack" "$host/bench/bench_startup:bench_startup" "$host/bench/bench_data:bench_data"; do
  [ -f "${t%%:*}" ] || cmake --build $host --target "${t##*:}" >/dev/null
done
deps="$(grep -m1 '^TVO_WIN_DEPS' $win/CMakeCache.txt | cut -d= -f2)"
unrar="$deps/bin/unrar.dll"

if [ -z "$data" ]; then
  data=/dev/shm
  [ -w "$data" ] && [ "$(stat -f -c %T "$data")" = tmpfs ] || data="${TMPDIR:-/tmp}"
fi
work="$(mktemp -d "$data/win_bench.XXXXXX")"
echo "win_bench: data and Wine prefix in $work ($(stat -f -c %T "$work"))" >&2
export HOME="$work/home" WINEPREFIX="$work/prefix" WINEDLLOVERRIDES=winemenubuilder.exe=d WINEDEBUG=-all
mkdir -p "$HOME"
xvfb=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -z "$xvfb" ] || kill "$xvfb" 2>/dev/null || true
  [ "$keep" = 1 ] || rm -rf "$work"
}
trap cleanup EXIT

# The programs copied first: a build in the same tree while the run goes on
# does not change what is measured.
mkdir -p "$work/bin"
cp "$demo" "$work/bin/demo-setup.exe"
cp "$plain" "$work/bin/setup.exe"
cp "$bare" "$work/bin/bench_barewindow.exe"
for f in "$work"/bin/*.exe; do
  [ "$(head -c2 "$f")" = MZ ] || { echo "win_bench: $f is not a finished program (a build running?)" >&2; exit 1; }
done

load() { cut -d' ' -f1 /proc/loadavg; }
median() { sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now() { date +%s.%N; }
since() { awk -v a="$1" -v b="$(now)" 'BEGIN {printf "%.3f", b - a}'; }
rows=()
row() { rows+=("$1|$2|$3|$4|$5"); } # WHAT OURS REFERENCE GOAL LOAD

# 1. Sizes.
dsize=$(stat -c %s "$work/bin/demo-setup.exe") psize=$(stat -c %s "$work/bin/setup.exe")
row "size of $demo (goal in bytes)" "$dsize B" "16000000 B" \
  "$(awk -v a="$dsize" 'BEGIN {print (a <= 16000000 ? "≤ 16,000,000 ✓" : "≤ 16,000,000 ✗")}')" -
row "  of which the program ($plain)" "$psize B" "" "" -
row "  of which the payload (unrar library + archive, zstd -19)" "$((dsize - psize)) B" "" "" -
row "  the bare Qt window built the same way ($bare)" "$(stat -c %s "$work/bin/bench_barewindow.exe") B" "" "" -

# The prefix, made without a display; its server ended before any window.
wine wineboot -i >/dev/null 2>&1
wineserver -k; wineserver -w
Xvfb ":$display" -screen 0 1024x768x24 -noreset -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=":$display"
for _ in $(seq 50); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
wineserver -p
wine cmd /c exit >/dev/null 2>&1 # services and the desktop process up

# 2. Start to visible window, in turns, after one start of each not counted.
$host/bench/bench_startup 1 "bare=wine $work/bin/bench_barewindow.exe" "setup=wine $work/bin/demo-setup.exe" >/dev/null
l0=$(load)
out="$($host/bench/bench_startup "$starts" "bare=wine $work/bin/bench_barewindow.exe" "setup=wine $work/bin/demo-setup.exe")"
echo "$out" >&2
bms=$(awk '$1 == "bare" {print $2}' <<<"$out") sms=$(awk '$1 == "setup" {print $2}' <<<"$out")
row "start to visible window under Wine, $demo, median of $starts (bare Qt window)" "$sms ms" "$bms ms" \
  "$(awk -v a="$sms" -v b="$bms" 'BEGIN {print (a / b <= 1.3 ? "≤ 1.3 ✓" : "≤ 1.3 ✗")}')" "$l0 → $(load)"

# 3. Whole installations of the corpus.
corpus="$work/corpus/TVO-DEMO"
$host/bench/bench_data tree "$corpus" "$entries" $((mb * 1000000)) >&2
t0=$(now)
"$pack" --library "$unrar" --folder "$corpus" "$work/bin/setup.exe" "$work/tvo-setup.exe" >/dev/null
tpack=$(since "$t0")
compressor="zlib (NSIS's default, not solid)"
setcomp=""
if [ "$solid" = 1 ]; then compressor="/SOLID lzma"; setcomp="SetCompressor /SOLID lzma"; fi
cat >"$work/bench.nsi" <<EOF
Unicode true
Target amd64-unicode
$setcomp
Name "TVO bench"
OutFile "nsis-setup.exe"
InstallDir "C:\\bench\\nsis"
RequestExecutionLevel user
Section
  SetOutPath "\$INSTDIR"
  File /r "corpus\\TVO-DEMO\\*"
  WriteUninstaller "\$INSTDIR\\uninst.exe"
  CreateShortCut "\$DESKTOP\\TVO bench.lnk" "\$INSTDIR\\uninst.exe"
  CreateShortCut "\$SMPROGRAMS\\TVO bench.lnk" "\$INSTDIR\\uninst.exe"
SectionEnd
Section "Uninstall"
SectionEnd
EOF
t0=$(now)
(cd "$work" && makensis -V1 bench.nsi >&2)
tnsis=$(since "$t0")
echo "win_bench: tvo-pack $tpack s, makensis ($compressor) $tnsis s" >&2

drive_c="$WINEPREFIX/drive_c"
mkdir -p "$drive_c/bench"
# One installation: its wall time; the installed files compared with the corpus.
install() { # NAME
  local dir="$drive_c/bench/$1" t0 t
  rm -rf "$dir"
  t0=$(now)
  if [ "$1" = tvo ]; then
    wine "$work/tvo-setup.exe" --very-silent '--dir=C:\bench\tvo' >/dev/null 2>&1
  else
    wine "$work/nsis-setup.exe" /S '/D=C:\bench\nsis' >/dev/null 2>&1
  fi
  t=$(since "$t0")
  if ! diff -r -x ODINSTALUJ.EXE -x ODINSTALUJ.LST -x uninst.exe "$corpus" "$dir" >&2; then
    echo "win_bench: the $1 installation differs from the corpus" >&2
    exit 1
  fi
  echo "$t"
}
install tvo >/dev/null
install nsis >/dev/null # each once first: the files' pages in memory for both
l0=$(load)
ts=() ns=()
for i in $(seq "$rounds"); do
  for who in $([ $((i % 2)) = 1 ] && echo tvo nsis || echo nsis tvo); do
    t=$(install $who) # a failed comparison ends the run here
    if [ $who = tvo ]; then ts+=("$t"); else ns+=("$t"); fi
  done
done
echo "win_bench: setup.exe ${ts[*]} s; NSIS ${ns[*]} s" >&2
tm=$(printf '%s\n' "${ts[@]}" | median) nm=$(printf '%s\n' "${ns[@]}" | median)
row "whole --very-silent installation under Wine, $entries entries / $mb MB, median of $rounds (NSIS /S, $compressor)" \
  "$tm s" "$nm s" "$(awk -v a="$tm" -v b="$nm" 'BEGIN {print (a / b <= 1.0 ? "≤ 1.0 ✓" : "≤ 1.0 ✗")}')" "$l0 → $(load)"
row "  installer size (NSIS, $compressor)" "$(stat -c %s "$work/tvo-setup.exe") B" "$(stat -c %s "$work/nsis-setup.exe") B" "" -

{
  printf 'what\tours\treference\tratio\tgoal\tload\n'
  for r in "${rows[@]}"; do
    IFS='|' read -r what ours ref goal l <<<"$r"
    ratio=""
    [ -z "$ref" ] || ratio=$(awk -v a="${ours% *}" -v b="${ref% *}" 'BEGIN {printf "%.2f", a / b}')
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$what" "$ours" "${ref:--}" "${ratio:--}" "${goal:--}" "$l"
  done
} | column -t -s $'\t'
