#!/usr/bin/env bash
# The operating system is reached through platform/ alone: no source outside
# it includes the system's headers for files, processes or libraries.
#   usage: seam.sh [SOURCE-ROOT]
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"
found="$(grep -rnE '#include <(fcntl|unistd|dlfcn|dirent|signal)\.h>|#include <sys/' app komp --include='*.cpp' --include='*.h' || true)"
if [ -n "$found" ]; then
  echo "system headers outside platform/:" >&2
  echo "$found" >&2
  exit 1
fi
