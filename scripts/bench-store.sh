#!/usr/bin/env bash
# The resource store's rows of scripts/bench.sh: BUILD_DIR DATA_DIR ROUNDS.
exec bash "$(dirname "$0")/../bench/store_bench.sh" --rows --build "$1" --data "$2" --rounds "$3"
