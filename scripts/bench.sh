#!/usr/bin/env bash
# Every benchmark against its reference tool in the same run, several rounds,
# one table of medians. Never part of the test run.
#
#   bash scripts/bench.sh [--quick] [--rounds N] [--entries N] [--megabytes M]
#                         [--search-entries N] [--subfolders N] [--big-mib N]
#                         [--build DIR] [--no-extra] [--settle S]
#
#   --quick           a short run of the installer's own rows (a few minutes):
#                     --rounds 3 --big-mib 0 --no-extra
#   --rounds          rounds per row (default 5); ours and the reference take
#                     turns going first
#   --entries         entries of the installation payload and folder (5000)
#   --megabytes       their total size in MB (266)
#   --search-entries  entries of the TFindFiles tree (100000)
#   --subfolders      subfolders of the chooser's node (5000)
#   --big-mib         size of the one-file copy in MiB (1024; 0 leaves it out)
#   --build           the build folder (default build; scripts/build.sh makes
#                     it when it has no CMakeCache.txt)
#   --no-extra        leaves out the rows of scripts/bench-*.sh (the store's
#                     rows pack the corpus with zstd -19 and xz -9: minutes)
#   --settle          seconds to wait at most before each group of rows for the
#                     machine to be quiet (90)
#
#   quick:            bash scripts/bench.sh --quick
#   the whole table:  bash scripts/bench.sh --big-mib 0   (half an hour and more:
#                     the store's rows pack the corpus with zstd -19 and xz -9)
#
# It builds what is missing, makes its data on a tmpfs sized for the largest
# row (mounted for the run when it can be, else /dev/shm; it says which, and
# each group of rows removes its data before the next), starts its own Xvfb
# for the rows that drive the real installer, and prints:
#   path | ours (median) | reference (median) | ratio | goal | load
# and a last line "N of M within goal". Load: the 1-minute load average before
# and after each group of rows, and the CPU that other processes than the
# benchmark's own used meanwhile (in cores). When the load before a group or
# that other use exceeds 0.5 per core, the goal column says "not comparable"
# and the row is not counted: the figures of a busy machine are not those of
# an idle one. With strace installed, the system calls per installed entry of
# a --very-silent installation (payload: against unrar x of the same archive;
# folder copy: against cp -r) are rows too; they are counts, the same on a
# busy machine.
#
# Further rows: every executable scripts/bench-*.sh is run as
#   scripts/bench-NAME.sh BUILD_DIR DATA_DIR ROUNDS
# (with BENCH_ENTRIES and BENCH_MEGABYTES in the environment) and each line it
# prints of the form (tab-separated)
#   ROW <path> <ours> <reference> <unit> <goal ratio, or - for none>
# with medians already taken becomes a row of the table.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
BUILD=$SRC/build

ROUNDS=5 ENTRIES=5000 MEGABYTES=266 SEARCH=100000 SUBFOLDERS=5000 BIGMIB=1024 EXTRA=1 SETTLE=90
while [ $# -gt 0 ]; do
    case "$1" in
    --quick) ROUNDS=3 BIGMIB=0 EXTRA=0; shift ;;
    --rounds) ROUNDS=$2; shift 2 ;;
    --entries) ENTRIES=$2; shift 2 ;;
    --megabytes) MEGABYTES=$2; shift 2 ;;
    --search-entries) SEARCH=$2; shift 2 ;;
    --subfolders) SUBFOLDERS=$2; shift 2 ;;
    --big-mib) BIGMIB=$2; shift 2 ;;
    --build) BUILD=$(realpath "$2"); shift 2 ;;
    --no-extra) EXTRA=0; shift ;;
    --settle) SETTLE=$2; shift 2 ;;
    -h|--help) sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done

# ---- build what is missing ---------------------------------------------------
TARGETS=(ship tvo-pack bench_xrun bench_barewindow bench_data bench_findfiles bench_explorer bench_copy bench_copyfloor)
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    bash scripts/build.sh
fi
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]}" >/dev/null

LIB=$(grep -m1 '^TVO_UNRAR_LIBRARY' "$BUILD/CMakeCache.txt" 2>/dev/null | cut -d= -f2 || true)
[ -n "$LIB" ] || LIB=/usr/lib/x86_64-linux-gnu/libunrar.so.5
for tool in Xvfb unrar find cp; do
    command -v $tool >/dev/null || { echo "bench.sh: $tool is needed" >&2; exit 1; }
done
STRACE=$(command -v strace || true)
EXTRAS=()
if [ "$EXTRA" = 1 ]; then
    for extra in scripts/bench-*.sh; do [ -x "$extra" ] && EXTRAS+=("$extra"); done
fi

# ---- data on a tmpfs ---------------------------------------------------------
# Room for the largest group of rows, whose data is removed before the next:
# the installations hold the folder, the payload installer, its pieces, one
# target and the reference's archive and output (5 x the data); the one-file
# copy holds the file twice; the store's rows hold their corpus, two
# installers, two packed archives and a target (6 x, at least 1.2 GB for
# their 300 MB archive).
NEED_MB=$((MEGABYTES * 5 + 128))
((BIGMIB * 2 + 256 > NEED_MB)) && NEED_MB=$((BIGMIB * 2 + 256))
if ((${#EXTRAS[@]} > 0)); then
    ((MEGABYTES * 6 > NEED_MB)) && NEED_MB=$((MEGABYTES * 6))
    ((1200 > NEED_MB)) && NEED_MB=1200
fi
NEED_MB=$((NEED_MB + 512))
DATA=$(mktemp -d /tmp/tvo-bench.XXXXXX)
MOUNTED=
XVFB_PID=
cleanup() {
    if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null || true; fi
    if [ -n "$MOUNTED" ]; then umount "$DATA" 2>/dev/null || true; fi
    rm -rf "$DATA"
}
trap cleanup EXIT
if mount -t tmpfs -o size=${NEED_MB}m tvo-bench "$DATA" 2>/dev/null; then
    MOUNTED=1
    WHERE="a tmpfs of $NEED_MB MB mounted for this run at $DATA"
elif [ -w /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" = tmpfs ]; then
    rmdir "$DATA"
    DATA=$(mktemp -d /dev/shm/tvo-bench.XXXXXX)
    WHERE="/dev/shm (tmpfs; no tmpfs could be mounted)"
    FREE_MB=$(df -m --output=avail /dev/shm | tail -1 | tr -d ' ')
    ((FREE_MB >= NEED_MB)) || echo "bench.sh: /dev/shm has $FREE_MB MB free, the rows need $NEED_MB MB" >&2
else
    WHERE="$DATA ($(stat -f -c %T "$DATA"), NOT a tmpfs: no tmpfs could be mounted)"
fi
echo "data on $WHERE"
export TMPDIR=$DATA

# ---- an X server of our own ----------------------------------------------------
DISPLAY_FILE=$DATA/display
Xvfb -displayfd 9 -screen 0 1024x768x24 -nolisten tcp 9>"$DISPLAY_FILE" >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 100); do [ -s "$DISPLAY_FILE" ] && break; sleep 0.05; done
[ -s "$DISPLAY_FILE" ] || { echo "bench.sh: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$(head -1 "$DISPLAY_FILE")
export XDG_RUNTIME_DIR=$DATA/run && mkdir -p -m 700 "$XDG_RUNTIME_DIR"
unset SESSION_MANAGER
echo "X server $DISPLAY (Xvfb), $ROUNDS rounds per row, load $(cut -d' ' -f1-3 /proc/loadavg)"

# ---- helpers -----------------------------------------------------------------------
now() { echo "${EPOCHREALTIME/,/.}"; }
median() { awk 'NF' | sort -g | awk '{v[NR]=$1} END{ if (NR==0) {print "nan"; exit} if (NR%2) print v[(NR+1)/2]; else print (v[NR/2]+v[NR/2+1])/2 }'; }
fresh_home() { rm -rf "$1" 2>/dev/null || rm -rf "$1" 2>/dev/null || true; mkdir -p "$1/Desktop" "$1/.cache"; ln -s "$DATA/fontcache" "$1/.cache/fontconfig"; }
mkdir -p "$DATA/fontcache"
ENTRY_NAME="Tavro 2010 DEMO.desktop"
XRUN=$BUILD/bench/bench_xrun

# The machine's load around each group of rows. A group's figures are not
# comparable when the load average before it, or the CPU that processes
# other than ours used during it, is above half a core per core. Before each
# group the script waits (up to --settle seconds) until the previous group's
# own work has left the load average and the machine is quiet for a second.
HZ=$(getconf CLK_TCK)
LIMIT=$(awk -v n="$(nproc)" 'BEGIN{printf "%.2f", n * 0.5}')
load1() { cut -d' ' -f1 /proc/loadavg; }
busy_ticks() { awk '$1=="cpu"{print $2+$3+$4+$7+$8+$9; exit}' /proc/stat; }
steal_ticks() { awk '$1=="cpu"{print $9; exit}' /proc/stat; }
xvfb_ticks() { if [ -r "/proc/$XVFB_PID/stat" ]; then awk '{print $14+$15}' "/proc/$XVFB_PID/stat"; else echo 0; fi; }
own_ticks() { # what this script and its finished processes used, and its Xvfb
    # From /proc: the callers are subshells, whose own times() start at zero.
    awk -v x="$(xvfb_ticks)" '{sub(/^.*\) /, ""); print $12 + $13 + $14 + $15 + x}' "/proc/$$/stat"
}
proc_ticks() { # "pid ticks name" of every process and kernel thread
    for f in /proc/[0-9]*/stat; do cat "$f" 2>/dev/null || true; echo; done |
        awk 'NF{n=$0; sub(/^[^(]*\(/, "", n); sub(/\).*$/, "", n); t=$0; sub(/^.*\) /, "", t); split(t, a, " "); print $1, a[12]+a[13], n}'
}
settle() {
    local i b x quiet
    for ((i = 0; i < SETTLE; i += 2)); do
        b=$(busy_ticks) x=$(xvfb_ticks); sleep 1
        quiet=$(awk -v d=$(($(busy_ticks) - b - $(xvfb_ticks) + x)) -v hz="$HZ" -v n="$(nproc)" -v l="$(load1)" -v lim="$LIMIT" \
            'BEGIN{print (d / hz <= 0.1 * n && l <= lim) ? 1 : 0}')
        [ "$quiet" = 1 ] && break
        sleep 1
    done
    ((i > 0)) && echo "  waited ${i} s for the machine to settle (load $(load1))"
    return 0
}
MEASURE="-"
begin_group() {
    settle
    proc_ticks >"$DATA/procs0"
    G_LOAD=$(load1); G_BUSY=$(busy_ticks); G_STEAL=$(steal_ticks); G_OWN=$(own_ticks); G_T=$(now)
}
end_group() { # sets MEASURE: "before after others flag steal"
    local load busy steal own w
    load=$(load1); busy=$(busy_ticks); steal=$(steal_ticks); own=$(own_ticks)
    w=$(awk -v a="$G_T" -v b="$(now)" 'BEGIN{print b-a}') # seconds of the group
    MEASURE=$(awk -v l0="$G_LOAD" -v l1="$load" -v b=$((busy - G_BUSY)) -v o=$((own - G_OWN)) -v st=$((steal - G_STEAL)) -v hz="$HZ" \
        -v w="$w" -v lim="$LIMIT" 'BEGIN{
            others = w > 0 ? (b - o) / hz / w : 0; if (others < 0) others = 0
            steal = w > 0 ? st / hz / w : 0
            printf "%s %s %.2f %d %.2f", l0, l1, others, (l0 > lim || others > lim), steal }')
    echo "  load $G_LOAD -> $load, others' CPU $(cut -d' ' -f3 <<<"$MEASURE") cores, of which the host's steal $(cut -d' ' -f5 <<<"$MEASURE") (limit $LIMIT)"
    # Who the others were: the processes alive throughout that used the most.
    proc_ticks | awk -v hz="$HZ" -v w="$w" -v xvfb="$XVFB_PID" -v me=$$ '
        NR==FNR {t0[$1]=$2; next}
        ($1 in t0) && $1 != xvfb && $1 != me && w > 0 {d=($2-t0[$1])/hz/w; if (d >= 0.02) printf "    %.2f cores %s\n", d, $3}' \
        "$DATA/procs0" - | sort -rn -k1 | awk 'NR <= 3'
}
ROWS=()
# row PATH OURS REF UNIT GOAL: medians already taken, in the group just ended
row() { ROWS+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"$'\t'"$5"$'\t'"$MEASURE"); }

# ---- test data -----------------------------------------------------------------------
echo "making $ENTRIES entries of $MEGABYTES MB ..."
"$BUILD/bench/bench_data" tree "$DATA/copy/TVO-DEMO" "$ENTRIES" $((MEGABYTES * 1000000)) >/dev/null
cp "$BUILD/ship/setup" "$DATA/copy/setup"
mkdir -p "$DATA/pay" "$DATA/pieces"
# Stored as they are: the data does not compress, as an archive's would not.
"$BUILD/tools/tvo-pack/tvo-pack" --no-compress --library "$LIB" --folder "$DATA/copy/TVO-DEMO" \
    "$BUILD/ship/setup" "$DATA/pay/setup" >/dev/null
"$BUILD/tools/tvo-pack/tvo-pack" --unpack "$DATA/pay/setup" "$DATA/pieces" >/dev/null
PIECES=()
for ((i = 0; ; i++)); do
    [ -f "$DATA/pieces/TVODEMO_$i" ] || break
    PIECES+=("$DATA/pieces/TVODEMO_$i")
done
echo "payload: ${#PIECES[@]} pieces, installer $(du -m "$DATA/pay/setup" | cut -f1) MB"

# ---- whole installations through the wizard --------------------------------------------
# Ours: Enter on page 1, then Enter on page 2 starts the installation into the
# default folder (C:\TVO-DEMO\ = $HOME/TVO-DEMO); timed until the desktop entry
# exists. The reference does the same work with the usual tools.
install_ours() { # INSTALLER -> "seconds maxrss_kb"
    local home=$DATA/home
    fresh_home "$home"
    HOME=$home "$XRUN" install "$home/Desktop/$ENTRY_NAME" 2 -- "$1" 2>/dev/null | awk '{v[$1]=$2} END{print v["seconds"], v["maxrss_kb"]}' || true
    rm -rf "$home" 2>/dev/null || true # the next round starts from a fresh one anyway
}
payload_ref() {
    local t0 t1
    mkdir -p "$DATA/ref"
    t0=$(now)
    cat "${PIECES[@]}" >"$DATA/ref/a.rar"
    unrar x -idq -o+ "$DATA/ref/a.rar" "$DATA/ref/out/" >/dev/null
    rm "$DATA/ref/a.rar"
    t1=$(now)
    rm -rf "$DATA/ref"
    awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.6f\n", b-a}'
}
copy_ref() {
    local t0 t1
    t0=$(now)
    cp -r --preserve=timestamps "$DATA/copy/TVO-DEMO" "$DATA/refcopy"
    t1=$(now)
    rm -rf "$DATA/refcopy"
    awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.6f\n", b-a}'
}
install_ours "$DATA/pay/setup" >/dev/null # warm the caches (fonts, pages)
payload_ref >/dev/null
: >"$DATA/o1"; : >"$DATA/r1"; : >"$DATA/m1"; : >"$DATA/o2"; : >"$DATA/r2"
begin_group
for ((r = 0; r < ROUNDS; r++)); do
    if ((r % 2)); then
        read -r s m < <(install_ours "$DATA/pay/setup"); p=$(payload_ref)
    else
        p=$(payload_ref); read -r s m < <(install_ours "$DATA/pay/setup")
    fi
    echo "$s" >>"$DATA/o1"; echo "$p" >>"$DATA/r1"; echo "$m" >>"$DATA/m1"
    if ((r % 2)); then
        read -r s m < <(install_ours "$DATA/copy/setup"); c=$(copy_ref)
    else
        c=$(copy_ref); read -r s m < <(install_ours "$DATA/copy/setup")
    fi
    echo "$s" >>"$DATA/o2"; echo "$c" >>"$DATA/r2"
    echo "  round $r: payload install $(printf %.3f "$(tail -1 "$DATA/o1")") s / cat+unrar+rm $(printf %.3f "$p") s;" \
        "folder copy $(printf %.3f "$s") s / cp -r $(printf %.3f "$c") s"
done
end_group
row "whole installation from the payload, $ENTRIES entries / $MEGABYTES MB, wizard (cat pieces + unrar x + rm)" \
    "$(median <"$DATA/o1")" "$(median <"$DATA/r1")" s 1.15
row "whole folder-copy installation, $ENTRIES entries / $MEGABYTES MB, wizard (cp -r --preserve=timestamps)" \
    "$(median <"$DATA/o2")" "$(median <"$DATA/r2")" s 1.5
row "peak resident memory, installation from the payload (limit)" \
    "$(median <"$DATA/m1" | awk '{printf "%.1f", $1/1024}')" 40 MB max

# ---- whole installations without a window --------------------------------------------------
silent_ours() { # INSTALLER -> seconds
    local home=$DATA/home t0 t1
    fresh_home "$home"
    t0=$(now)
    HOME=$home "$1" --very-silent --dir="$DATA/silent" --no-icons --no-launch >/dev/null 2>&1 || echo "bench.sh: $1 --very-silent failed" >&2
    t1=$(now)
    rm -rf "$home" "$DATA/silent"
    awk -v a="$t0" -v b="$t1" 'BEGIN{printf "%.6f\n", b-a}'
}
: >"$DATA/o4"; : >"$DATA/r4"
silent_ours "$DATA/pay/setup" >/dev/null
begin_group
for ((r = 0; r < ROUNDS; r++)); do
    if ((r % 2)); then o=$(silent_ours "$DATA/pay/setup"); p=$(payload_ref); else p=$(payload_ref); o=$(silent_ours "$DATA/pay/setup"); fi
    echo "$o" >>"$DATA/o4"; echo "$p" >>"$DATA/r4"
done
end_group
row "whole installation from the payload, --very-silent (cat pieces + unrar x + rm)" \
    "$(median <"$DATA/o4")" "$(median <"$DATA/r4")" s 1.1

# ---- the folder copy's floor -----------------------------------------------------------------
# The same tree copied with the installer's 8,192-byte buffer and nothing
# else, against cp -r: how far below its goal the folder copy can go at all.
floor_ours() {
    "$BUILD/bench/bench_copyfloor" "$DATA/copy/TVO-DEMO" "$DATA/floor" | awk '$1=="seconds"{print $2}' || echo "bench.sh: bench_copyfloor failed" >&2
    rm -rf "$DATA/floor"
}
: >"$DATA/o5"; : >"$DATA/r5"
floor_ours >/dev/null
begin_group
for ((r = 0; r < ROUNDS; r++)); do
    if ((r % 2)); then o=$(floor_ours); c=$(copy_ref); else c=$(copy_ref); o=$(floor_ours); fi
    echo "$o" >>"$DATA/o5"; echo "$c" >>"$DATA/r5"
done
end_group
row "folder copy with an 8,192-byte buffer and nothing else: the floor of the folder-copy installation (cp -r --preserve=timestamps)" \
    "$(median <"$DATA/o5")" "$(median <"$DATA/r5")" s -

# ---- system calls per installed entry ------------------------------------------------------
# strace -c -f of one --very-silent installation against the reference tool;
# the calls of each kind divided by the entries.
syscalls() { # STRACE_OUTPUT KIND -> calls of that kind
    local names
    case "$2" in
    open) names="open openat openat2 creat" ;;
    stat) names="stat fstat lstat newfstatat statx fstatat64" ;;
    read) names="read pread64 readv preadv preadv2" ;;
    all) names="*" ;;
    *) names="$2" ;;
    esac
    awk -v names=" $names " '$4 ~ /^[0-9]+$/ && $NF != "total" && (names == " * " || index(names, " " $NF " ")) {n += $4} END{print n + 0}' "$1"
}
per_entry() { awk -v n="$1" -v e="$ENTRIES" 'BEGIN{printf "%.2f", n / e}'; }
if [ -n "$STRACE" ]; then
    echo "system calls (strace -c -f) ..."
    home=$DATA/home
    fresh_home "$home"
    HOME=$home strace -c -f -o "$DATA/st-pay" "$DATA/pay/setup" --very-silent --dir="$DATA/silent" --no-icons --no-launch >/dev/null 2>&1 || true
    rm -rf "$DATA/silent"
    fresh_home "$home"
    HOME=$home strace -c -f -o "$DATA/st-copy" "$DATA/copy/setup" --very-silent --dir="$DATA/silent" --no-icons --no-launch >/dev/null 2>&1 || true
    rm -rf "$DATA/silent" "$home"
    mkdir -p "$DATA/ref"
    cat "${PIECES[@]}" >"$DATA/ref/a.rar"
    strace -c -f -o "$DATA/st-unrar" unrar x -idq -o+ "$DATA/ref/a.rar" "$DATA/ref/out/" >/dev/null 2>&1 || true
    rm -rf "$DATA/ref"
    strace -c -f -o "$DATA/st-cp" cp -r --preserve=timestamps "$DATA/copy/TVO-DEMO" "$DATA/refcopy" 2>/dev/null || true
    rm -rf "$DATA/refcopy"
    MEASURE="counts"
    for kind in open stat read close; do
        row "system calls per entry, --very-silent installation from the payload: $kind (unrar x)" \
            "$(per_entry "$(syscalls "$DATA/st-pay" $kind)")" "$(per_entry "$(syscalls "$DATA/st-unrar" $kind)")" calls 1.3
    done
    row "system calls per entry, the same: getcwd (limit)" "$(per_entry "$(syscalls "$DATA/st-pay" getcwd)")" 0.01 calls max
    row "system calls per entry, the same: all kinds (unrar x)" \
        "$(per_entry "$(syscalls "$DATA/st-pay" all)")" "$(per_entry "$(syscalls "$DATA/st-unrar" all)")" calls -
    for kind in open stat read write close all; do
        row "system calls per entry, --very-silent folder-copy installation: $kind (cp -r --preserve=timestamps)" \
            "$(per_entry "$(syscalls "$DATA/st-copy" $kind)")" "$(per_entry "$(syscalls "$DATA/st-cp" $kind)")" calls -
    done
else
    echo "strace is not installed: no rows of system calls"
fi
rm -rf "$DATA/pay" "$DATA/pieces" "$DATA/copy" # the rows below bring their own data

# ---- start to visible window ---------------------------------------------------------------
: >"$DATA/o3"; : >"$DATA/r3"
start_ours() { local home=$DATA/home; fresh_home "$home"; HOME=$home "$XRUN" map -- "$BUILD/ship/setup" 2>/dev/null | awk '$1=="seconds"{print $2}' || true; rm -rf "$home"; }
start_ref() { "$XRUN" map -- "$BUILD/bench/bench_barewindow" 2>/dev/null | awk '$1=="seconds"{print $2}' || true; }
start_ours >/dev/null; start_ref >/dev/null
begin_group
for ((r = 0; r < ROUNDS * 2; r++)); do
    if ((r % 2)); then o=$(start_ours); b=$(start_ref); else b=$(start_ref); o=$(start_ours); fi
    echo "$o" >>"$DATA/o3"; echo "$b" >>"$DATA/r3"
done
end_group
row "start to visible window of the shipped program, until mapped (a bare window on the shared Qt)" "$(median <"$DATA/o3")" "$(median <"$DATA/r3")" s 1.3

# ---- in-process benchmarks ------------------------------------------------------------------
rounds_of() { # PROGRAM ARGS... -> rows "ours ref" of its "round" lines
    "$@" 2>/dev/null | awk '$1=="round"{print $2, $3}' || echo "bench.sh: $1 failed" >&2
}
begin_group
rounds_of "$BUILD/bench/bench_findfiles" "$SEARCH" "$ROUNDS" >"$DATA/ff"
end_group
row "TFindFiles, $SEARCH entries (find -printf '%s %T@ %p')" "$(cut -d' ' -f1 "$DATA/ff" | median)" \
    "$(cut -d' ' -f2 "$DATA/ff" | median)" s 1.5
begin_group
rounds_of "$BUILD/bench/bench_explorer" "$SUBFOLDERS" "$ROUNDS" >"$DATA/ex"
end_group
row "chooser: expand a node with $SUBFOLDERS subfolders (find DIR -mindepth 1 -maxdepth 2 -type d)" \
    "$(cut -d' ' -f1 "$DATA/ex" | median)" "$(cut -d' ' -f2 "$DATA/ex" | median)" s 1.5
begin_group
"$BUILD/bench/bench_copy" "$DATA" "$BIGMIB" "$ENTRIES" "$ROUNDS" 2>/dev/null | awk '$1=="round"' >"$DATA/cp" || true
end_group
for what in small big; do
    grep -q " $what\$" "$DATA/cp" || continue
    label="CopyFileWithProgress alone, $ENTRIES small files, its visible gauge repainting at once (cp)"
    [ $what = big ] && label="CopyFileWithProgress, one file of $BIGMIB MiB (cp)"
    row "$label" "$(awk -v w=$what '$4==w{print $2}' "$DATA/cp" | median)" "$(awk -v w=$what '$4==w{print $3}' "$DATA/cp" | median)" s -
done

# ---- rows of other scripts -------------------------------------------------------------------
export BENCH_ENTRIES=$ENTRIES BENCH_MEGABYTES=$MEGABYTES
for extra in "${EXTRAS[@]}"; do
    echo "rows of $extra ..."
    begin_group
    bash "$extra" "$BUILD" "$DATA" "$ROUNDS" >"$DATA/extra" || echo "bench.sh: $extra failed" >&2
    end_group
    while IFS=$'\t' read -r tag path ours ref unit goal; do
        [ "$tag" = ROW ] && row "$path" "$ours" "$ref" "$unit" "$goal"
    done <"$DATA/extra"
done

# ---- the table -------------------------------------------------------------------------------
echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), data on $WHERE, $ROUNDS rounds, medians;" \
    "load: 1-minute load average before → after each group of rows, and the CPU other processes used meanwhile, with the host's steal (not comparable above $LIMIT)"
echo
printf '| %s | %s | %s | %s | %s | %s |\n' path ours reference ratio goal load
printf '|---|---:|---:|---:|---|---|\n'
within=0 counted=0 busy=0
fmt() { awk -v v="$1" -v u="$2" 'BEGIN{ if (u=="s") { if (v<1) printf "%.1f ms", v*1000; else printf "%.3f s", v } else if (u=="") printf "%s", v; else printf "%s %s", v, u }'; }
judge() { # OK -> MARK; counts the row
    if [ "$comparable" = 0 ]; then
        busy=$((busy + 1)) MARK="not comparable: load above $LIMIT"
    else
        counted=$((counted + 1)) within=$((within + $1))
        if [ "$1" = 1 ]; then MARK=✓; else MARK=✗; fi
    fi
}
for line in "${ROWS[@]}"; do
    IFS=$'\t' read -r path ours ref unit goal measure <<<"$line"
    comparable=1 loadcell="—"
    if [ "$measure" = counts ]; then
        loadcell="counts"
    elif [ "$measure" != - ]; then
        read -r l0 l1 others flag steal <<<"$measure"
        loadcell="$l0 → $l1, others $others (steal $steal)"
        [ "$flag" = 1 ] && comparable=0
    fi
    if [ "$goal" = max ]; then
        judge "$(awk -v o="$ours" -v r="$ref" 'BEGIN{print (o<=r)?1:0}')"
        printf '| %s | %s | | | ≤ %s %s | %s |\n' "$path" "$(fmt "$ours" "$unit")" "$(fmt "$ref" "$unit")" "$MARK" "$loadcell"
        continue
    fi
    ratio=$(awk -v o="$ours" -v r="$ref" 'BEGIN{ if (r>0) printf "%.2f", o/r; else print "nan" }')
    if [ "$goal" = - ]; then
        printf '| %s | %s | %s | %s | — | %s |\n' "$path" "$(fmt "$ours" "$unit")" "$(fmt "$ref" "$unit")" "$ratio" "$loadcell"
    else
        judge "$(awk -v q="$ratio" -v g="$goal" 'BEGIN{print (q!="nan" && q<=g)?1:0}')"
        printf '| %s | %s | %s | %s | ≤ %s %s | %s |\n' "$path" "$(fmt "$ours" "$unit")" "$(fmt "$ref" "$unit")" "$ratio" "$goal" \
            "$MARK" "$loadcell"
    fi
done
echo
echo "$within of $counted within goal$( ((busy > 0)) && echo ", $busy not comparable (the machine was busy)")"
