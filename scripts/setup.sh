#!/usr/bin/env bash
# Installs everything the installer needs to build, run and test on Debian 12.
# Idempotent: with every package present it only checks and returns.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
  libjpeg62-turbo-dev libx11-dev libzstd-dev libdeflate-dev libunrar5 unrar rar mmdebstrap
  fonts-liberation2 fonts-dejavu-core
  xvfb xauth x11-utils xdotool imagemagick desktop-file-utils libglib2.0-bin openbox
  locales
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

echo "setup: installing ${missing[*]}"
$SUDO apt-get update -qq
if ! apt-cache policy libunrar5 2>/dev/null | grep -q 'Candidate: [^(]'; then
  echo "setup: libunrar5 not available, enabling Debian's non-free component"
  codename="$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")"
  $SUDO tee /etc/apt/sources.list.d/tvo-non-free.sources >/dev/null <<SRC
Types: deb
URIs: http://deb.debian.org/debian
Suites: ${codename} ${codename}-updates
Components: non-free
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
  $SUDO apt-get update -qq
fi
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
echo "setup: done"
