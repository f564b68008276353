#!/usr/bin/env bash
# Prints the path of a tarball holding a clean Debian desktop-like root file
# system (no Qt, no Liberation fonts) of the given suite (default bookworm),
# building it with mmdebstrap when the cache does not hold one for this
# package list yet.
#   usage: rootfs.sh [SUITE]
set -euo pipefail

SUITE="${1:-bookworm}"
PACKAGES=(libgtk-3-0 libegl1 libgl1 libopengl0)
[ "$SUITE" = bookworm ] || PACKAGES=(libgtk-3-0t64 libegl1 libgl1 libopengl0)

cache="${XDG_CACHE_HOME:-$HOME/.cache}/tvo-setup"
key="$(printf '%s\n' minbase "$SUITE" "${PACKAGES[@]}" | sha256sum | cut -c1-16)"
tarball="$cache/rootfs-$SUITE-$key.tar"
if [ -s "$tarball" ]; then
  echo "$tarball"
  exit 0
fi
command -v mmdebstrap >/dev/null || { echo "rootfs: mmdebstrap is missing (scripts/setup.sh installs it)" >&2; exit 1; }
mkdir -p "$cache"
include="$(IFS=,; echo "${PACKAGES[*]}")"
tmp="$(mktemp "$tarball.XXXXXX")"
trap 'rm -f "$tmp"' EXIT
echo "rootfs: building $tarball (about a minute)" >&2
mmdebstrap --quiet --variant=minbase --include="$include" --format=tar "$SUITE" "$tmp" \
  http://deb.debian.org/debian >&2
mv "$tmp" "$tarball"
trap - EXIT
echo "$tarball"
