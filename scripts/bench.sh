#!/usr/bin/env bash
# Every benchmark against its reference tool in the same run, several rounds,
# one table of medians. Never part of the test run.
#
#   bash scripts/bench.sh [--rounds N] [--entries N] [--megabytes M]
#                         [--search-entries N] [--subfolders N] [--big-mib N]
#
#   --rounds          rounds per row (default 5); ours and the reference take
#                     turns going first
#   --entries         entries of the installation payload and folder (5000)
#   --megabytes       their total size in MB (266)
#   --search-entries  entries of the TFindFiles tree (100000)
#   --subfolders      subfolders of the chooser's node (5000)
#   --big-mib         size of the one-file copy in MiB (1024; 0 leaves it out)
#
# It builds what is missing, makes its data on a tmpfs (mounted for the run
# when it can be, else /dev/shm; it says which), starts its own Xvfb for the
# rows that drive the real installer, and prints:
#   path | ours (median) | reference (median) | ratio | goal
# and a last line "N of M within goal".
#
# Further rows: every executable scripts/bench-*.sh is run as
#   scripts/bench-NAME.sh BUILD_DIR DATA_DIR ROUNDS
# and each line it prints of the form (tab-separated)
#   ROW <path> <ours> <reference> <unit> <goal ratio, or - for none>
# with medians already taken becomes a row of the table.
set -euo pipefail
cd "$(dirname "$0")/.."
SRC=$PWD
BUILD=$SRC/build

ROUNDS=5 ENTRIES=5000 MEGABYTES=266 SEARCH=100000 SUBFOLDERS=5000 BIGMIB=1024
while [ $# -gt 0 ]; do
    case "$1" in
    --rounds) ROUNDS=$2; shift 2 ;;
    --entries) ENTRIES=$2; shift 2 ;;
    --megabytes) MEGABYTES=$2; shift 2 ;;
    --search-entries) SEARCH=$2; shift 2 ;;
    --subfolders) SUBFOLDERS=$2; shift 2 ;;
    --big-mib) BIGMIB=$2; shift 2 ;;
    -h|--help) sed -n '2,27p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done

# ---- build what is missing ---------------------------------------------------
TARGETS=(tvo-setup tvo-pack bench_xrun bench_barewindow bench_data bench_findfiles bench_explorer bench_copy)
if [ ! -f "$BUILD/CMakeCache.txt" ]; then
    bash scripts/build.sh
fi
cmake --build "$BUILD" -j"$(nproc)" --target "${TARGETS[@]}" >/dev/null

LIB=$(grep -m1 '^TVO_UNRAR_LIBRARY' "$BUILD/CMakeCache.txt" 2>/dev/null | cut -d= -f2 || true)
[ -n "$LIB" ] || LIB=/usr/lib/x86_64-linux-gnu/libunrar.so.5
for tool in Xvfb unrar find cp; do
    command -v $tool >/dev/null || { echo "bench.sh: $tool is needed" >&2; exit 1; }
done

# ---- data on a tmpfs ---------------------------------------------------------
DATA=$(mktemp -d /tmp/tvo-bench.XXXXXX)
MOUNTED=
XVFB_PID=
cleanup() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    if [ -n "$MOUNTED" ]; then umount "$DATA" 2>/dev/null || true; fi
    rm -rf "$DATA"
}
trap cleanup EXIT
NEED_MB=$((MEGABYTES * 5 + BIGMIB * 3 + 512))
if mount -t tmpfs -o size=${NEED_MB}m tvo-bench "$DATA" 2>/dev/null; then
    MOUNTED=1
    WHERE="a tmpfs mounted for this run at $DATA"
elif [ -w /dev/shm ] && [ "$(stat -f -c %T /dev/shm)" = tmpfs ]; then
    rmdir "$DATA"
    DATA=$(mktemp -d /dev/shm/tvo-bench.XXXXXX)
    WHERE="/dev/shm (tmpfs; no tmpfs could be mounted)"
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
ROWS=()
# row PATH OURS REF UNIT GOAL: medians already taken
row() { ROWS+=("$1"$'\t'"$2"$'\t'"$3"$'\t'"$4"$'\t'"$5"); }
fresh_home() { rm -rf "$1" 2>/dev/null || rm -rf "$1" 2>/dev/null || true; mkdir -p "$1/Desktop" "$1/.cache"; ln -s "$DATA/fontcache" "$1/.cache/fontconfig"; }
mkdir -p "$DATA/fontcache"
ENTRY_NAME="Tavro 2010 DEMO.desktop"
XRUN=$BUILD/bench/bench_xrun

# ---- test data -----------------------------------------------------------------------
echo "making $ENTRIES entries of $MEGABYTES MB ..."
"$BUILD/bench/bench_data" tree "$DATA/copy/TVO-DEMO" "$ENTRIES" $((MEGABYTES * 1000000)) >/dev/null
cp "$BUILD/app/tvo-setup" "$DATA/copy/setup"
mkdir -p "$DATA/pay" "$DATA/pieces"
# Stored as they are: the data does not compress, as an archive's would not.
"$BUILD/tools/tvo-pack/tvo-pack" --no-compress --library "$LIB" --folder "$DATA/copy/TVO-DEMO" \
    "$BUILD/app/tvo-setup" "$DATA/pay/setup" >/dev/null
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
row "whole installation from the payload, $ENTRIES entries / $MEGABYTES MB, wizard (cat pieces + unrar x + rm)" \
    "$(median <"$DATA/o1")" "$(median <"$DATA/r1")" s 1.25
row "whole folder-copy installation, $ENTRIES entries / $MEGABYTES MB, wizard (cp -r --preserve=timestamps)" \
    "$(median <"$DATA/o2")" "$(median <"$DATA/r2")" s 2
row "peak resident memory, installation from the payload (limit)" \
    "$(median <"$DATA/m1" | awk '{printf "%.1f", $1/1024}')" 40 MB max

# ---- start to visible window ---------------------------------------------------------------
: >"$DATA/o3"; : >"$DATA/r3"
start_ours() { local home=$DATA/home; fresh_home "$home"; HOME=$home "$XRUN" map -- "$BUILD/app/tvo-setup" 2>/dev/null | awk '$1=="seconds"{print $2}' || true; rm -rf "$home"; }
start_ref() { "$XRUN" map -- "$BUILD/bench/bench_barewindow" 2>/dev/null | awk '$1=="seconds"{print $2}' || true; }
start_ours >/dev/null; start_ref >/dev/null
for ((r = 0; r < ROUNDS * 2; r++)); do
    if ((r % 2)); then o=$(start_ours); b=$(start_ref); else b=$(start_ref); o=$(start_ours); fi
    echo "$o" >>"$DATA/o3"; echo "$b" >>"$DATA/r3"
done
row "start to visible window, until mapped (a bare Qt window of the same size)" "$(median <"$DATA/o3")" "$(median <"$DATA/r3")" s 1.5

# ---- in-process benchmarks ------------------------------------------------------------------
rounds_of() { # PROGRAM ARGS... -> rows "ours ref" of its "round" lines
    "$@" 2>/dev/null | awk '$1=="round"{print $2, $3}' || echo "bench.sh: $1 failed" >&2
}
rounds_of "$BUILD/bench/bench_findfiles" "$SEARCH" "$ROUNDS" >"$DATA/ff"
row "TFindFiles, $SEARCH entries (find -printf '%s %T@ %p')" "$(cut -d' ' -f1 "$DATA/ff" | median)" \
    "$(cut -d' ' -f2 "$DATA/ff" | median)" s 1.5
rounds_of "$BUILD/bench/bench_explorer" "$SUBFOLDERS" "$ROUNDS" >"$DATA/ex"
row "chooser: expand a node with $SUBFOLDERS subfolders (find DIR -mindepth 1 -maxdepth 2 -type d)" \
    "$(cut -d' ' -f1 "$DATA/ex" | median)" "$(cut -d' ' -f2 "$DATA/ex" | median)" s 1.5
"$BUILD/bench/bench_copy" "$DATA" "$BIGMIB" "$ENTRIES" "$ROUNDS" 2>/dev/null | awk '$1=="round"' >"$DATA/cp" || true
for what in small big; do
    grep -q " $what\$" "$DATA/cp" || continue
    label="CopyFileWithProgress alone, $ENTRIES small files, its visible gauge repainting at once (cp)"
    [ $what = big ] && label="CopyFileWithProgress, one file of $BIGMIB MiB (cp)"
    row "$label" "$(awk -v w=$what '$4==w{print $2}' "$DATA/cp" | median)" "$(awk -v w=$what '$4==w{print $3}' "$DATA/cp" | median)" s -
done

# ---- rows of other scripts -------------------------------------------------------------------
for extra in scripts/bench-*.sh; do
    [ -x "$extra" ] || continue
    while IFS=$'\t' read -r tag path ours ref unit goal; do
        [ "$tag" = ROW ] && row "$path" "$ours" "$ref" "$unit" "$goal"
    done < <(bash "$extra" "$BUILD" "$DATA" "$ROUNDS" || echo "bench.sh: $extra failed" >&2)
done

# ---- the table -------------------------------------------------------------------------------
echo
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), data on $WHERE, $ROUNDS rounds, medians"
echo
printf '| %s | %s | %s | %s | %s |\n' path ours reference ratio goal
printf '|---|---:|---:|---:|---|\n'
within=0 counted=0
for line in "${ROWS[@]}"; do
    IFS=$'\t' read -r path ours ref unit goal <<<"$line"
    if [ "$goal" = max ]; then
        ok=$(awk -v o="$ours" -v r="$ref" 'BEGIN{print (o<=r)?1:0}')
        printf '| %s | %s %s | | | ≤ %s %s %s |\n' "$path" "$ours" "$unit" "$ref" "$unit" "$([ "$ok" = 1 ] && echo ✓ || echo ✗)"
        counted=$((counted + 1)); within=$((within + ok))
        continue
    fi
    ratio=$(awk -v o="$ours" -v r="$ref" 'BEGIN{ if (r>0) printf "%.2f", o/r; else print "nan" }')
    fmt() { awk -v v="$1" -v u="$2" 'BEGIN{ if (u=="s") { if (v<1) printf "%.1f ms", v*1000; else printf "%.3f s", v } else printf "%s %s", v, u }'; }
    if [ "$goal" = - ]; then
        printf '| %s | %s | %s | %s | — |\n' "$path" "$(fmt "$ours" "$unit")" "$(fmt "$ref" "$unit")" "$ratio"
    else
        ok=$(awk -v q="$ratio" -v g="$goal" 'BEGIN{print (q!="nan" && q<=g)?1:0}')
        printf '| %s | %s | %s | %s | ≤ %s %s |\n' "$path" "$(fmt "$ours" "$unit")" "$(fmt "$ref" "$unit")" "$ratio" "$goal" \
            "$([ "$ok" = 1 ] && echo ✓ || echo ✗)"
        counted=$((counted + 1)); within=$((within + ok))
    fi
done
echo
echo "$within of $counted within goal"
