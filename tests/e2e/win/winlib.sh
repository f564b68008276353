# Steps of the end-to-end tests of the Windows program under Wine, on top of
# lib.sh: a prefix, a home folder and an X server of the test's own, paths in
# Windows form, the wizard's pages told apart by their pixels, processes of
# the prefix awaited by name.
source "$(dirname "${BASH_SOURCE[0]}")/../lib.sh"
unset QT_QPA_PLATFORM # lib.sh's xcb would reach the Windows program through Wine

WIZARD='Instalacja DEMO Wylicznika TAVRO 2010'
WIN_USER="$(id -un)"
OWN_PREFIX=""

# Ends the prefix's processes and its server before lib.sh's clean-up.
win_cleanup() {
  local rc=$?
  set +e
  if [ -n "$OWN_PREFIX" ]; then
    WINEPREFIX="$OWN_PREFIX" wineserver -k >/dev/null 2>&1
    WINEPREFIX="$OWN_PREFIX" timeout 15 wineserver -w >/dev/null 2>&1
  fi
  (exit "$rc")
  e2e_cleanup
}
trap win_cleanup EXIT

# start_wine: an X server, then a prefix below E2E_TMP: a copy of the prefix
# that WINEPREFIX names (the test run's, made once), else a new one. The
# user's folders that Wine links to the Unix home become folders of the
# prefix, so that nothing is written outside E2E_TMP. Sets WIN_DESKTOP,
# WIN_PROGRAMS (the Start menu's programs) and WIN_TEMP (%TEMP%).
start_wine() {
  local base="${WINEPREFIX:-}" d
  start_xvfb 1024x768
  export HOME="$E2E_TMP/home" WINEPREFIX="$E2E_TMP/prefix" WINEDLLOVERRIDES=winemenubuilder.exe=d WINEDEBUG=-all
  mkdir -p "$HOME"
  OWN_PREFIX="$WINEPREFIX"
  if [ -n "$base" ] && [ -f "$base/system.reg" ]; then
    cp -a "$base" "$WINEPREFIX" || fail "could not copy the prefix $base"
  else
    wine wineboot -i >/dev/null 2>&1 || fail "wineboot failed"
  fi
  for d in "$WINEPREFIX/drive_c/users/$WIN_USER"/*; do
    if [ -L "$d" ]; then rm "$d" && mkdir "$d"; fi
  done
  local user="$WINEPREFIX/drive_c/users/$WIN_USER"
  WIN_DESKTOP="$user/Desktop"
  WIN_PROGRAMS="$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
  WIN_TEMP="$user/Temp"
  [ -d "$WIN_TEMP" ] || fail "no temporary folder $WIN_TEMP in the prefix"
}

# winpath HOSTPATH: the path as Windows programs see it (C: is drive_c, Z: is /).
winpath() {
  local p="$1" c="$WINEPREFIX/drive_c"
  case "$p" in
    "$c") p='C:\' ;;
    "$c"/*) p="C:${p#"$c"}" ;;
    *) p="Z:$p" ;;
  esac
  printf '%s\n' "${p//\//\\}"
}

# start_setup EXE [ARGS...]: the installer under Wine in the background,
# its output in $E2E_TMP/stdout and $E2E_TMP/stderr. Sets APP_PID.
start_setup() {
  wine "$@" >"$E2E_TMP/stdout" 2>"$E2E_TMP/stderr" &
  APP_PID=$!
}

# page_shown WINDOW: the wizard's page on the screen (1-4), told by a few of
# its pixels: the logo's cream (page 1) or the folder box (page 2) at
# (300, 298), the gauge at (100, 150) (page 3), the shortcut's picture at
# (580, 300) (page 4); 0 for none of them.
page_shown() {
  local x y mid="" gauge="" icon=""
  read -r x y < <(window_origin "$1")
  import -window root "$E2E_TMP/probe.png" 2>/dev/null || { echo 0; return; }
  read -r mid gauge icon < <(convert "$E2E_TMP/probe.png" -format "%[hex:p{$((x + 300)),$((y + 298))}] \
%[hex:p{$((x + 100)),$((y + 150))}] %[hex:p{$((x + 580)),$((y + 300))}]" info: 2>/dev/null) || true
  mid="${mid:0:6}" gauge="${gauge:0:6}" icon="${icon:0:6}"
  case "$mid:$gauge:$icon" in
    F4F1E8:BB1600:*) echo 1 ;;
    FFFFFF:BB1600:*) echo 2 ;;
    BB1600:BB1600:F4F1E8) echo 4 ;;
    BB1600:BB1600:*) echo 0 ;;
    BB1600:*) echo 3 ;;
    *) echo 0 ;;
  esac
}

# wait_page WINDOW N SECONDS: waits until page N is on the screen.
wait_page() {
  local end=$((SECONDS + $3)) p=0
  while [ "$SECONDS" -le "$end" ]; do
    p="$(page_shown "$1")"
    [ "$p" = "$2" ] && return 0
    kill -0 "$APP_PID" 2>/dev/null || fail "the installer ended waiting for page $2"
    sleep 0.1
  done
  fail "page $2 not shown after $3 s (page $p is)"
}

# shot NAME: the screen as $E2E_TMP/NAME.png, also copied into E2E_SHOTS when set.
shot() {
  import -window root "$E2E_TMP/$1.png"
  if [ -n "${E2E_SHOTS:-}" ]; then cp "$E2E_TMP/$1.png" "$E2E_SHOTS/$1.png"; fi
}

# wine_processes PATTERN: ids of this prefix's processes whose name (its first
# 15 characters) matches the pattern.
wine_processes() {
  local p name
  for p in /proc/[0-9]*; do
    name=""
    { read -r name <"$p/comm"; } 2>/dev/null || continue # no process per entry: this runs while the installer works
    case "$name" in $1) ;; *) continue ;; esac
    { tr '\0' '\n' <"$p/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "${p#/proc/}"
  done
  return 0
}

# wait_gone PATTERN SECONDS: waits until no process of the prefix matches.
wait_gone() {
  local end=$((SECONDS + $2))
  while [ -n "$(wine_processes "$1")" ]; do
    [ "$SECONDS" -le "$end" ] || fail "$1 still runs after $2 s"
    sleep 0.1
  done
}

# temp_listing: what %TEMP% holds, to compare before and after a run.
temp_listing() { (cd "$WIN_TEMP" && find . | LC_ALL=C sort); }

# temp_as_before BEFORE WHAT [SECONDS]: fails (naming WHAT) unless %TEMP%
# lists as BEFORE did, waiting up to SECONDS for what a program ending in the
# background still removes.
temp_as_before() {
  local end=$((SECONDS + ${3:-0}))
  until [ "$(temp_listing)" = "$1" ]; do
    [ "$SECONDS" -lt "$end" ] || fail "$2: %TEMP% changed: $(temp_listing)"
    sleep 0.1
  done
}

# lnk_field LNK FIELD: a field of lnkinfo's report ("Local path", "Working
# directory", "Command line arguments").
lnk_field() {
  lnkinfo "$1" | sed -n "s/^[[:space:]]*$2[[:space:]]*: //p" | head -1
}
