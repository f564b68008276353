#!/usr/bin/env bash
# Installs everything the installer needs to build, run and test on Debian 12.
# Idempotent: with every package present it only checks and returns.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config ninja-build ccache
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libjpeg62-turbo-dev libx11-dev libzstd-dev zstd libdeflate-dev libunrar5 unrar rar mmdebstrap
  fonts-liberation2 fonts-dejavu-core
  xvfb xauth x11-utils xdotool imagemagick desktop-file-utils libglib2.0-bin openbox
  locales
  # the static Qt of the shipped program (static-qt.sh): its sources, the
  # xcb libraries it links statically, xkbcommon's build, the accessibility
  # bridge's headers
  dpkg-dev xz-utils meson bison libxcb1-dev libxcb-icccm4-dev libxcb-image0-dev libxcb-keysyms1-dev
  libxcb-randr0-dev libxcb-render-util0-dev libxcb-render0-dev libxcb-shape0-dev libxcb-shm0-dev libxcb-sync-dev
  libxcb-util-dev libxcb-xfixes0-dev libxcb-xkb-dev libxcb-cursor-dev libxau-dev libxdmcp-dev libatspi2.0-dev
  libdbus-1-dev fonttools
  # the accessibility test
  at-spi2-core python3-pyatspi dbus
  # the Windows program (win-qt.sh, win-deps.sh): the cross compilers, Wine to
  # run and test it, shortcuts read back, the peer installer, signing
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 liblnk-utils nsis osslsigncode
)

# Debian's source packages (static-qt.sh builds Qt and xkbcommon from them).
sources_listed() {
  apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Package: qt6-base' &&
    apt-cache showsrc unrar-nonfree 2>/dev/null | grep -q '^Package: unrar-nonfree'
}

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ] && sources_listed; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
if ! sources_listed; then
  echo "setup: adding Debian's source packages (deb-src) for the static Qt and the Windows libraries"
  $SUDO tee /etc/apt/sources.list.d/tvo-sources.sources >/dev/null <<SRC
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: ${codename} ${codename}-updates
Components: main non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
echo "setup: installing ${missing[*]:-nothing new}"
$SUDO apt-get update -qq
if ! apt-cache policy libunrar5 2>/dev/null | grep -q 'Candidate: [^(]'; then
  echo "setup: libunrar5 not available, enabling Debian's non-free component"
  $SUDO tee /etc/apt/sources.list.d/tvo-non-free.sources >/dev/null <<SRC
Types: deb
URIs: http://deb.debian.org/debian
Suites: ${codename} ${codename}-updates
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $SUDO apt-get update -qq
fi
[ ${#missing[@]} -eq 0 ] || $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: done"
