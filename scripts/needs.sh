#!/usr/bin/env bash
# What a program asks of the system it runs on, read from its dynamic section:
# the shared libraries it names and the newest glibc symbol version it uses.
#   needs.sh PROGRAM           prints both
#   needs.sh --check PROGRAM   the same; exit 1 when it names a library beyond
#                              glibc's own (the shipped installer must not)
set -euo pipefail
check=0
if [ "${1:-}" = "--check" ]; then check=1; shift; fi
[ $# -eq 1 ] || { echo "usage: needs.sh [--check] PROGRAM" >&2; exit 2; }
program="$1"
ALLOWED='^(libc\.so\.6|libm\.so\.6|ld-linux-x86-64\.so\.2|libdl\.so\.2|libpthread\.so\.0|librt\.so\.1)$'

needed="$(LC_ALL=C readelf -dW "$program" | sed -n 's/.*(NEEDED).*\[\(.*\)\]$/\1/p')"
glibc="$(LC_ALL=C readelf -VW "$program" | grep -o 'Name: GLIBC_[0-9.]*' | sed 's/Name: GLIBC_//' | sort -uV | tail -1)"
echo "$(basename "$program"): needs ${needed//$'\n'/, }; newest glibc symbol version GLIBC_${glibc:-none}"
[ "$check" -eq 1 ] || exit 0
extra="$(grep -Ev "$ALLOWED" <<<"$needed" || true)"
if [ -n "$extra" ]; then
  echo "$(basename "$program"): libraries beyond glibc: ${extra//$'\n'/, }" >&2
  exit 1
fi
