#!/usr/bin/env bash
# The shipped installers on a clean Debian desktop system without Qt and
# without the Liberation fonts (rootfs.sh SUITE), inside a chroot as an
# ordinary user, /tmp mounted noexec, sharing this test's X server:
#   demo       the demo installer installs and starts the program once; the
#              home and /tmp then differ only by what an installation is
#              documented to write, and after the uninstaller it wrote not at all
#   copy       the same for the folder-copy installer, with no XDG_RUNTIME_DIR
#   packed     an installer made by tvo-pack installs
#   sigterm    SIGTERM while it installs: cancelled (4), no temporary file
#   twice      two copies at once install into two homes
# usage: chroot.sh SUITE DEMO-SETUP DEMO-COPY-DIR TVO-PACK SHIP-SETUP [SCENARIO...]
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
suite="$1" demo="$(readlink -f "$2")" copydir="$(readlink -f "$3")" pack="$(readlink -f "$4")" ship="$(readlink -f "$5")"
shift 5
scenarios=("$@")
[ ${#scenarios[@]} -gt 0 ] || scenarios=(demo copy packed sigterm twice)

tarball="$(bash "$here/rootfs.sh" "$suite")"
root="$E2E_TMP/root"
mkdir -p "$root"
chroot_cleanup() {
  local rc=$?
  for pid in $(pgrep -f "^/opt/tvo/|/TVO-DEMO/" || true); do kill -9 "$pid" 2>/dev/null || true; done
  umount -R "$root" 2>/dev/null || umount -lR "$root" 2>/dev/null || true
  rm -rf --one-file-system "$root"
  (exit "$rc") # e2e_cleanup ends with the test's own status
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
[ -z "$(find "$root/usr/lib" -name 'libQt6*' -print -quit)" ] || fail "the clean system has Qt"
[ -z "$(find "$root/usr/share/fonts" -iname 'liberation*' -print -quit 2>/dev/null)" ] \
  || fail "the clean system has the Liberation fonts"
echo "root: $suite, $(chroot "$root" /usr/bin/ldd --version | head -1)"

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
  "$ship" "$root/opt/tvo/packed/setup" >/dev/null || fail "tvo-pack could not make an installer"

# run_setup HOME-NAME INSTALLER [VAR=VALUE...]: starts the installer in the
# chroot as the user; APP_PID is its process.
run_setup() {
  local home="/home/$1" exe="$2"
  shift 2
  mkdir -p "$root$home"
  chown 1000:1000 "$root$home"
  chroot --userspec=1000:1000 "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME="$home" USER=tester \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 "$@" "$exe" &
  APP_PID=$!
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

# check_process PID: the installer is the one file started, and maps no
# library but glibc's, the unrar library it wrote itself and the system's
# D-Bus library with what that links (loaded at run time: the accessibility
# bridge looks for the session bus).
check_process() {
  local exe
  exe="$(readlink "/proc/$1/exe")"
  [[ "$exe" == "$root"/opt/tvo/*/setup ]] || fail "the installer runs from $exe"
  local others
  others="$(awk '$6 ~ /\// {print $6}' "/proc/$1/maps" | sort -u \
    | grep -Ev '/(libc|libm|ld-linux-x86-64)\.so|/opt/tvo/.*/setup$|/TVOUNRAR\.DLL|^/memfd:|/locale/|/gconv/|/dev/zero$' \
    | grep -Ev '/lib(dbus-1|systemd|cap|gcrypt|gpg-error|lz4|lzma|zstd)\.so' || true)"
  [ -z "$others" ] || fail "the installer maps files beyond glibc: $others"
}

# snapshot NAME: every entry of the homes and /tmp with its type and size.
snapshot() {
  (cd "$root" && find home tmp -path tmp/.X11-unix -prune -o -type d -printf 'd %p\n' -o -printf '%y %s %p\n' \
    2>/dev/null | sort) >"$E2E_TMP/$1"
}

# The entries an installation into HOME is documented to write.
documented() {
  local h="home/$1"
  grep -Ev " $h/(TVO-DEMO(/.*)?|Desktop|Desktop/Tavro 2010 DEMO\.desktop|\.local|\.local/share|\.local/share/applications(/pl\.tavro\.Tavro2010Demo\.desktop|/mimeinfo\.cache)?|\.local/share/icons(/hicolor(/[0-9]+x[0-9]+(/apps(/pl\.tavro\.Tavro2010Demo\.png)?)?|/icon-theme\.cache)?)?)$"
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
# program starts once in the target with katCD= and the user's environment.
finish_and_check() {
  local win="$1" home="$2" folder="$3" prog
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
  [ "$(pgrep -fc "^$home/TVO-DEMO/TVODEMO.EXE")" = 1 ] || fail "the program was started more than once"
  [ "$(readlink "/proc/$prog/cwd")" = "$root$home/TVO-DEMO" ] || fail "the program's folder is $(readlink "/proc/$prog/cwd")"
  tr '\0' '\n' <"/proc/$prog/cmdline" | grep -qx "katCD=$folder" || fail "no katCD=$folder argument"
  ! tr '\0' '\n' <"/proc/$prog/environ" | grep -Eq '^(LD_LIBRARY_PATH|QT_[A-Z_]*)=' \
    || { tr '\0' '\n' <"/proc/$prog/environ"; fail "the installer's settings leak into the program's environment"; }
  kill "$prog"
  wait_no_process "^$home/TVO-DEMO/TVODEMO.EXE"
}

wait_no_process() {
  for _ in $(seq 50); do pgrep -f "$1" >/dev/null || return 0; sleep 0.1; done
  fail "$1 still runs"
}

# install_and_compare NAME INSTALLER-FOLDER [VAR=VALUE...]: a whole installation
# that writes nothing beyond what is documented, anywhere in the homes or /tmp.
install_and_compare() {
  local name="$1" folder="$2"
  shift 2
  mkdir -p "$root/home/$name" && chown 1000:1000 "$root/home/$name"
  snapshot "before-$name"
  run_setup "$name" "$folder/setup" "$@"
  local win
  win="$(window_of "$APP_PID")" || fail "no wizard window"
  check_process "$APP_PID"
  install_through "$win" "/home/$name"
  finish_and_check "$win" "/home/$name" "$folder"
  snapshot "after-$name"
  diff <(documented "$name" <"$E2E_TMP/before-$name") <(documented "$name" <"$E2E_TMP/after-$name") \
    || fail "the installation wrote more than documented (lines marked >)"
}

scenario_demo() {
  install_and_compare demo /opt/tvo/demo XDG_RUNTIME_DIR=/run/user/1000
  # The uninstaller is the program without its payload, and runs here too.
  local uninst=/home/demo/TVO-DEMO/ODINSTALUJ.EXE rc=0
  [ "$("$pack" --list "$root$uninst" 2>&1 | tail -n +2 | wc -l)" = 0 ] || fail "the uninstaller carries resources"
  timeout 60 chroot --userspec=1000:1000 "$root" /usr/bin/env -i PATH=/usr/bin:/bin HOME=/home/demo USER=tester \
    DISPLAY="$DISPLAY" LANG=C.UTF-8 XDG_RUNTIME_DIR=/run/user/1000 "$uninst" --yes || rc=$?
  [ "$rc" = 0 ] || fail "uninstaller exit code $rc"
  snapshot after-uninstall
  diff "$E2E_TMP/before-demo" "$E2E_TMP/after-uninstall" || fail "the uninstaller did not bring the home back"
}

scenario_copy() {
  install_and_compare copy /opt/tvo/copy
  [ -f "$root/home/copy/TVO-DEMO/TVODEMO.EXE" ] || fail "the folder was not copied"
}

scenario_packed() {
  run_setup packed /opt/tvo/packed/setup XDG_RUNTIME_DIR=/run/user/1000
  local win
  win="$(window_of "$APP_PID")" || fail "no wizard window"
  install_through "$win" /home/packed
  [ "$(find "$root/home/packed/TVO-DEMO" -name 'plik*.dat' | wc -l)" = 2400 ] || fail "not every file installed"
  finish_and_check "$win" /home/packed /opt/tvo/packed
}

scenario_sigterm() {
  run_setup sigterm /opt/tvo/packed/setup XDG_RUNTIME_DIR=/run/user/1000
  local win target="$root/home/sigterm/TVO-DEMO"
  win="$(window_of "$APP_PID")" || fail "no wizard window"
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
}

scenario_twice() {
  local first second win1 win2
  run_setup first /opt/tvo/demo/setup XDG_RUNTIME_DIR=/run/user/1000; first=$APP_PID
  win1="$(window_of "$first")" || fail "no window of the first installer"
  run_setup second /opt/tvo/demo/setup XDG_RUNTIME_DIR=/run/user/1000; second=$APP_PID
  win2="$(window_of "$second")" || fail "no window of the second installer"
  # The second one installs and ends while the first waits on its first page.
  APP_PID=$second
  install_through "$win2" /home/second
  finish_and_check "$win2" /home/second /opt/tvo/demo
  kill -0 "$first" 2>/dev/null || fail "the first installer ended with the second"
  APP_PID=$first
  install_through "$win1" /home/first
  finish_and_check "$win1" /home/first /opt/tvo/demo
}

for s in "${scenarios[@]}"; do
  "scenario_$s"
  echo "ok: $suite $s"
done
