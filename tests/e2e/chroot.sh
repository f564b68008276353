#!/usr/bin/env bash
# The self-contained installers on a clean Debian 12 desktop system without Qt
# and without the Liberation fonts (rootfs.sh), inside a chroot as an ordinary
# user, /tmp mounted noexec, sharing this test's X server:
#   demo       the demo installer installs, starts the program, leaves nothing;
#              the uninstaller it wrote removes the installation
#   copy       the same for the folder-copy installer, with no XDG_RUNTIME_DIR
#              (the runtime goes to the user's cache folder)
#   packed     an installer made by tvo-pack installs
#   sigterm    SIGTERM to the outer process while it installs: cancelled (4),
#              no temporary file, no runtime left
#   twice      two copies at once install into two homes; each removes its
#              own folder only
# usage: chroot.sh DEMO-SETUP DEMO-COPY-DIR TVO-PACK BUNDLE [SCENARIO...]
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  sudo -n true 2>/dev/null || { echo "FAIL: the chroot test needs root (or sudo without a password)" >&2; exit 1; }
  exec sudo -n -E bash "$0" "$@"
fi
# Every mount below lives in a mount namespace of its own and ends with it.
if [ -z "${TVO_CHROOT_NS:-}" ]; then
  exec env TVO_CHROOT_NS=1 unshare --mount --propagation private bash "$0" "$@"
fi
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/lib.sh"
demo="$(readlink -f "$1")" copydir="$(readlink -f "$2")" pack="$(readlink -f "$3")" bundle="$(readlink -f "$4")"
shift 4
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(demo copy packed sigterm twice)

tarball="$(bash "$here/rootfs.sh")"
root="$E2E_TMP/root"
mkdir -p "$root"
chroot_cleanup() {
  for pid in $(pgrep -f "^/opt/tvo/" || true); do kill -9 "$pid" 2>/dev/null || true; done
  umount -R "$root" 2>/dev/null || umount -lR "$root" 2>/dev/null || true
  rm -rf --one-file-system "$root"
  e2e_cleanup
}
trap chroot_cleanup EXIT

# The tarball unpacked once into the cache, each run on an overlay of it;
# without overlay support, a fresh copy.
lower="${tarball%.tar}.d"
if [ ! -d "$lower" ]; then
  rm -rf --one-file-system "$lower.tmp"; mkdir -p "$lower.tmp"
  tar -xf "$tarball" -C "$lower.tmp"
  mv "$lower.tmp" "$lower"
fi
mkdir -p "$E2E_TMP/upper" "$E2E_TMP/work"
if ! mount -t overlay overlay -o "lowerdir=$lower,upperdir=$E2E_TMP/upper,workdir=$E2E_TMP/work" "$root" 2>/dev/null; then
  echo "note: no overlay file system here, unpacking a copy"
  tar -xf "$tarball" -C "$root"
fi
for lib in libQt6Core.so.6 libQt6Widgets.so.6; do
  [ -z "$(find "$root/usr/lib" -name "$lib" -print -quit)" ] || fail "the clean system has $lib"
done
[ ! -d "$root/usr/share/fonts/truetype/liberation2" ] && [ ! -d "$root/usr/share/fonts/truetype/liberation" ] \
  || fail "the clean system has the Liberation fonts"

mount -t proc proc "$root/proc"
mount -t tmpfs -o noexec,nosuid,nodev,mode=1777 tmpfs "$root/tmp"
start_xvfb 1024x768
mkdir -p "$root/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$root/tmp/.X11-unix"
mkdir -p "$root/run/user/1000"
mount -t tmpfs -o mode=0700,uid=1000,gid=1000 tmpfs "$root/run/user/1000"
grep -q '^tester:' "$root/etc/passwd" || {
  echo 'tester:x:1000:1000:Tester:/home/tester:/bin/sh' >>"$root/etc/passwd"
  echo 'tester:x:1000:' >>"$root/etc/group"
}

# The installers, as a user would have downloaded them.
mkdir -p "$root/opt/tvo/demo" "$root/opt/tvo/copy" "$root/opt/tvo/packed"
cp "$demo" "$root/opt/tvo/demo/setup"
cp -a "$copydir/setup" "$copydir/TVO-DEMO" "$root/opt/tvo/copy/"
# A payload of many small files, so that an installation takes long enough
# to be interrupted.
big="$E2E_TMP/big"
mkdir -p "$big"
cp "$copydir/TVO-DEMO/TVODEMO.EXE" "$big/"
for d in $(seq 40); do
  mkdir -p "$big/dane$d"
  seq $((d * 10000)) $((d * 10000 + 9599)) | split -l 160 -d -a 2 --additional-suffix=.dat - "$big/dane$d/plik"
done
"$pack" --library "$(ldconfig -p | awk '/libunrar.so.5 /{print $NF; exit}')" --folder "$big" \
  "$bundle" "$root/opt/tvo/packed/setup" >/dev/null || fail "tvo-pack could not make an installer"

# run_setup HOME-NAME INSTALLER [VAR=VALUE...]: starts the installer in the
# chroot as the user; APP_PID is the outer process.
run_setup() {
  local home="/home/$1" exe="$2"
  shift 2
  mkdir -p "$root$home"
  chown 1000:1000 "$root$home"
  chroot --userspec=1000:1000 "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME="$home" USER=tester \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 "$@" "$exe" &
  APP_PID=$!
}

# runtime_dirs: the runtime folders that exist now, anywhere the launcher may put one.
runtime_dirs() {
  find "$root/run/user/1000" "$root/tmp" "$root"/home/*/.cache -maxdepth 1 -name 'tvo-setup-*' 2>/dev/null | sort
}

# inner_pid OUTER: the installer process the launcher started.
inner_pid() {
  local p
  for _ in $(seq 100); do
    p="$(pgrep -P "$1" | head -1 || true)"
    [ -n "$p" ] && { echo "$p"; return 0; }
    sleep 0.1
  done
  return 1
}

# window_of PID: the visible wizard window of that process.
window_of() {
  local id
  for _ in $(seq 150); do
    id="$(xdotool search --all --onlyvisible --pid "$1" --name '^Instalacja DEMO Wylicznika TAVRO 2010$' 2>/dev/null | head -1 || true)"
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

# inner_dir PID: the runtime folder the installer runs from, as the chroot sees it.
inner_dir() {
  local exe
  exe="$(readlink "/proc/$1/exe")"
  exe="${exe#"$root"}"
  echo "${exe%/*}"
}

# check_inner PID: the installer runs from its runtime folder, loads no
# library or plugin of the system's Qt, and sees no TVO_SETUP_FILE.
check_inner() {
  local exe
  exe="$(readlink "/proc/$1/exe")"
  [[ "$exe" == */tvo-setup-*/tvo-setup ]] || fail "the installer runs from $exe"
  grep -q "${exe%/tvo-setup}/plugins/platforms/libqxcb.so" "/proc/$1/maps" || fail "the runtime's xcb plugin is not loaded"
  ! grep -E 'libQt6|/plugins/' "/proc/$1/maps" | grep -v "${exe%/tvo-setup}/" | grep -q . \
    || fail "a Qt library or plugin from outside the runtime is loaded"
}

# install_through WINDOW HOME: Enter through pages 1 and 2, waits for page 4.
install_through() {
  type_key "$1" Return
  sleep 0.3
  type_key "$1" Return
  for _ in $(seq 600); do
    [ -f "$root$2/Desktop/Tavro 2010 DEMO.desktop" ] && break
    sleep 0.1
  done
  [ -f "$root$2/Desktop/Tavro 2010 DEMO.desktop" ] || fail "no desktop entry after the installation into $2"
  sleep 0.5
}

# finish_and_check WINDOW HOME INSTALLER-FOLDER: "Dalej" on page 4; the
# program starts in the target with katCD= and the user's environment only,
# and nothing of the runtime is left.
finish_and_check() {
  local win="$1" home="$2" folder="$3" prog entry
  entry="$root$home/Desktop/Tavro 2010 DEMO.desktop"
  ! grep -Eq 'tvo-setup-|LD_LIBRARY_PATH|QT_' "$entry" || { cat "$entry"; fail "the desktop entry names the runtime"; }
  [ ! -e "$root$home/TVO-DEMO/TVO-DEMO.RAR" ] && [ ! -e "$root$home/TVO-DEMO/TVOUNRAR.DLL" ] \
    || fail "temporary files left in the target"
  type_key "$win" Return
  wait_exit "$APP_PID" 20
  [ "$RC" = 0 ] || fail "installer exit code $RC"
  prog=""
  for _ in $(seq 100); do
    prog="$(pgrep -f "^$home/TVO-DEMO/TVODEMO.EXE" | head -1 || true)"
    [ -n "$prog" ] && break
    sleep 0.1
  done
  [ -n "$prog" ] || fail "the installed program did not start"
  sleep 0.5
  [ "$(pgrep -fc "^$home/TVO-DEMO/TVODEMO.EXE")" = 1 ] || { ps -eo pid,ppid,lstart,args | grep -i tvodemo; fail "the program was started more than once"; }
  [ "$(readlink "/proc/$prog/cwd")" = "$root$home/TVO-DEMO" ] || fail "the program's folder is $(readlink "/proc/$prog/cwd")"
  tr '\0' '\n' <"/proc/$prog/cmdline" | grep -qx "katCD=$folder" || fail "no katCD=$folder argument"
  ! tr '\0' '\n' <"/proc/$prog/environ" | grep -Eq '^(TVO_SETUP_FILE|LD_LIBRARY_PATH|QT_PLUGIN_PATH|QT_QPA_PLATFORM)=|tvo-setup-' \
    || { tr '\0' '\n' <"/proc/$prog/environ"; fail "the runtime leaks into the program's environment"; }
  kill "$prog"
  [ -z "$(runtime_dirs)" ] || fail "runtime left behind: $(runtime_dirs)"
}

scenario_demo() {
  run_setup demo /opt/tvo/demo/setup XDG_RUNTIME_DIR=/run/user/1000
  local inner win
  inner="$(inner_pid "$APP_PID")" || fail "the installer did not start"
  win="$(window_of "$inner")" || fail "no wizard window"
  check_inner "$inner"
  [[ "$(inner_dir "$inner")" == /run/user/1000/tvo-setup-* ]] || fail "runtime not in XDG_RUNTIME_DIR: $(inner_dir "$inner")"
  install_through "$win" /home/demo
  finish_and_check "$win" /home/demo /opt/tvo/demo
  # The uninstaller is the launcher and the runtime without the payload, and
  # runs on this system too.
  local uninst=/home/demo/TVO-DEMO/ODINSTALUJ.EXE rc=0
  [ "$("$pack" --list "$root$uninst" | awk 'NR > 1 {print $1}' | xargs)" = TVO_RUNTIME ] \
    || fail "the uninstaller is not the self-contained program without a payload"
  timeout 60 chroot --userspec=1000:1000 "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/demo USER=tester \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 XDG_RUNTIME_DIR=/run/user/1000 "$uninst" --yes || rc=$?
  [ "$rc" = 0 ] || fail "uninstaller exit code $rc"
  [ ! -e "$root/home/demo/TVO-DEMO/TVODEMO.EXE" ] || fail "the uninstaller left the program"
  [ -z "$(runtime_dirs)" ] || fail "runtime left behind by the uninstaller: $(runtime_dirs)"
}

scenario_copy() {
  run_setup copy /opt/tvo/copy/setup
  local inner win
  inner="$(inner_pid "$APP_PID")" || fail "the installer did not start"
  win="$(window_of "$inner")" || fail "no wizard window"
  check_inner "$inner"
  [[ "$(inner_dir "$inner")" == /home/copy/.cache/tvo-setup-* ]] \
    || fail "with /tmp noexec and no XDG_RUNTIME_DIR the runtime is at $(inner_dir "$inner")"
  install_through "$win" /home/copy
  [ -f "$root/home/copy/TVO-DEMO/TVODEMO.EXE" ] || fail "the folder was not copied"
  finish_and_check "$win" /home/copy /opt/tvo/copy
}

scenario_packed() {
  run_setup packed /opt/tvo/packed/setup XDG_RUNTIME_DIR=/run/user/1000
  local inner win
  inner="$(inner_pid "$APP_PID")" || fail "the installer did not start"
  win="$(window_of "$inner")" || fail "no wizard window"
  install_through "$win" /home/packed
  [ "$(find "$root/home/packed/TVO-DEMO" -name 'plik*.dat' | wc -l)" = 2400 ] || fail "not every file installed"
  finish_and_check "$win" /home/packed /opt/tvo/packed
}

scenario_sigterm() {
  run_setup sigterm /opt/tvo/packed/setup XDG_RUNTIME_DIR=/run/user/1000
  local inner win target="$root/home/sigterm/TVO-DEMO"
  inner="$(inner_pid "$APP_PID")" || fail "the installer did not start"
  win="$(window_of "$inner")" || fail "no wizard window"
  type_key "$win" Return
  sleep 0.3
  type_key "$win" Return
  for _ in $(seq 300); do
    [ "$(find "$target" -name 'plik*.dat' 2>/dev/null | wc -l)" -gt 50 ] && break
    sleep 0.05
  done
  [ -e "$target/TVO-DEMO.RAR" ] || fail "the installation was not running when the signal came"
  kill -TERM "$APP_PID"
  wait_exit "$APP_PID" 20
  [ "$RC" = 4 ] || fail "exit code $RC after SIGTERM during the installation, not 4"
  [ "$(find "$target" -name 'plik*.dat' | wc -l)" -lt 2400 ] || fail "the installation was not cancelled"
  [ ! -e "$target/TVO-DEMO.RAR" ] && [ ! -e "$target/TVOUNRAR.DLL" ] || fail "temporary files left after SIGTERM"
  [ -z "$(runtime_dirs)" ] || fail "runtime left behind after SIGTERM: $(runtime_dirs)"
}

scenario_twice() {
  local first second inner1 inner2 win1 win2 dir1 dir2
  run_setup first /opt/tvo/demo/setup XDG_RUNTIME_DIR=/run/user/1000; first=$APP_PID
  inner1="$(inner_pid "$first")" || fail "the first installer did not start"
  win1="$(window_of "$inner1")" || fail "no window of the first installer"
  run_setup second /opt/tvo/demo/setup XDG_RUNTIME_DIR=/run/user/1000; second=$APP_PID
  inner2="$(inner_pid "$second")" || fail "the second installer did not start"
  win2="$(window_of "$inner2")" || fail "no window of the second installer"
  dir1="$(inner_dir "$inner1")" dir2="$(inner_dir "$inner2")"
  [ "$dir1" != "$dir2" ] || fail "both installers share $dir1"
  # The second one installs and ends while the first waits on its first page.
  APP_PID=$second
  install_through "$win2" /home/second
  finish_and_check_one "$win2" "$second" /home/second
  [ -d "$root$dir1" ] || fail "the second installer removed the first one's runtime"
  [ ! -e "$root$dir2" ] || fail "the second installer left its runtime"
  APP_PID=$first
  install_through "$win1" /home/first
  finish_and_check "$win1" /home/first /opt/tvo/demo
}

# finish_and_check_one WINDOW PID HOME: "Dalej", exit code 0, program started.
finish_and_check_one() {
  type_key "$1" Return
  wait_exit "$2" 20
  [ "$RC" = 0 ] || fail "installer exit code $RC"
  for _ in $(seq 100); do pgrep -f "^$3/TVO-DEMO/TVODEMO.EXE" >/dev/null && break; sleep 0.1; done
  pkill -f "^$3/TVO-DEMO/TVODEMO.EXE" || fail "the installed program did not start"
}

for s in "${scenarios[@]}"; do
  "scenario_$s"
  echo "ok: $s"
done
