# Shared steps of the end-to-end tests: a private X server of a given size,
# waiting for windows, reading screen pixels.
set -euo pipefail
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
unset XDG_DATA_HOME # menu entries and icons go below the test's own home folder

E2E_TMP="$(mktemp -d)"
XVFB_PID=""
APP_PID=""

# Ends what the test started and removes its folder. A program that the
# installer started may still be writing below the folder for a moment, so
# the removal is retried; it never changes the test's own result.
e2e_cleanup() {
  local rc=$? i
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null || true
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
  for i in $(seq 20); do
    rm -rf "$E2E_TMP" 2>/dev/null && break
    sleep 0.2
  done
  [ ! -e "$E2E_TMP" ] || echo "note: could not remove $E2E_TMP" >&2
  exit "$rc"
}
trap e2e_cleanup EXIT

fail() { echo "FAIL: $*" >&2; exit 1; }

# start_xvfb WIDTHxHEIGHT: a server of its own, kept alive between clients;
# its number from 90-140, or from E2E_DISPLAYS=FIRST-LAST (runs beside other
# people's on one machine).
start_xvfb() {
  local n range="${E2E_DISPLAYS:-90-140}"
  for n in $(seq "${range%-*}" "${range#*-}"); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 "${1}x24" -noreset -nolisten tcp >"$E2E_TMP/xvfb.log" 2>&1 &
    XVFB_PID=$!
    export DISPLAY=":$n"
    for _ in $(seq 50); do
      xdpyinfo >/dev/null 2>&1 && return 0
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.1
    done
  done
  fail "no X server could be started in $range"
}

# wait_window NAME [SECONDS]: prints the id of the first visible window so named.
wait_window() {
  local id
  for _ in $(seq $((${2:-10} * 10))); do
    id="$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# type_key WINDOW KEY: focuses the window and sends the key through XTEST.
type_key() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.2
  xdotool key --clearmodifiers "$2"
}

# key_while_running KEY: KEY for the installer's window ($WIN) while its run
# goes on. The installer is stopped while the key is sent, so that a fast run
# cannot end between the test seeing it at work and the key: the key waits in
# its X queue and is read at the next entry.
key_while_running() {
  xdotool windowfocus --sync "$WIN" 2>/dev/null || xdotool windowfocus "$WIN"
  kill -STOP "$APP_PID"
  xdotool key --clearmodifiers "$1"
  sleep 0.1
  kill -CONT "$APP_PID"
}

# pixel X Y: the colour of a screen pixel as #RRGGBB.
pixel() {
  import -window root "$E2E_TMP/shot.png"
  convert "$E2E_TMP/shot.png" -format "%[hex:p{$1,$2}]" info: | sed 's/^/#/' | cut -c1-7
}

# window_origin ID: prints "X Y" of the window's top-left corner.
window_origin() {
  xdotool getwindowgeometry --shell "$1" | awk -F= '/^X=/{x=$2}/^Y=/{y=$2}END{print x, y}'
}

# wait_exit PID SECONDS: sets RC to the exit status, or fails after the timeout.
wait_exit() {
  for _ in $(seq $(($2 * 10))); do
    if ! kill -0 "$1" 2>/dev/null; then
      RC=0
      wait "$1" || RC=$?
      APP_PID=""
      return 0
    fi
    sleep 0.1
  done
  fail "process $1 still running after $2 s"
}

# count_windows NAME: how many visible windows have exactly this name.
count_windows() {
  { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null || true; } | wc -l
}

# wait_no_process_in FOLDER SECONDS: waits until no process has FOLDER (or a
# folder below it) as its current folder, such as a program the installer
# started there and did not wait for.
wait_no_process_in() {
  local dir cwd p busy
  dir="$(readlink -f "$1")"
  for _ in $(seq $(($2 * 10))); do
    busy=""
    for p in /proc/[0-9]*; do
      cwd="$(readlink "$p/cwd" 2>/dev/null || true)"
      case "$cwd" in "$dir" | "$dir"/*) busy="${p#/proc/}"; break ;; esac
    done
    [ -z "$busy" ] && return 0
    sleep 0.1
  done
  fail "process $busy still runs in $dir after $2 s"
}

# wait_file PATH SECONDS: waits until the path exists.
wait_file() {
  for _ in $(seq $(($2 * 10))); do
    [ -e "$1" ] && return 0
    sleep 0.1
  done
  return 1
}

# make_big_installer PLAIN PACK LIBRARY PROGRAM OUT: an installer whose
# archive holds the sample program and BIG_FILES (default 4000) small files
# in 40 folders, so that its run lasts long enough to be interrupted.
# Prints the number of files the archive holds.
make_big_installer() {
  local dir="$E2E_TMP/big-src" n="${BIG_FILES:-4000}" i
  mkdir -p "$dir"
  cp "$4" "$dir/TVODEMO.EXE"
  local data
  data="$(head -c 15000 /dev/urandom | base64 -w0)" # 20000 characters
  for i in $(seq 0 39); do mkdir -p "$dir/D$i"; done
  # Written by the shell itself: a process per file takes many seconds on a
  # loaded machine.
  for i in $(seq 1 "$n"); do printf '%s' "$data" >"$dir/D$((i % 40))/F$i.DAT"; done
  mkdir -p "$(dirname "$5")"
  "$2" --library "$3" --folder "$dir" "$1" "$5" >/dev/null || fail "tvo-pack failed"
  echo $((n + 1))
}

# start_install EXE HOME [VAR=VALUE...]: starts the installer with a fresh
# home folder and every termination signal at its default, goes to page 2 and
# accepts the default folder. Sets APP_PID and WIN (the wizard's window).
start_install() {
  local exe="$1" home="$2"
  shift 2
  mkdir -p "$home"
  env --default-signal=INT,HUP,TERM HOME="$home" XDG_CONFIG_HOME="$home/.config" "$@" "$exe" &
  APP_PID=$!
  WIN="$(wait_window 'Instalacja DEMO Wylicznika TAVRO 2010' 15)" || fail "no wizard window"
  type_key "$WIN" Return
  sleep 0.3
  type_key "$WIN" Return
}
