#!/usr/bin/env bash
# The resource store's rows of scripts/bench.sh: BUILD_DIR DATA_DIR ROUNDS.
exec bash "$(dirname "$0")/../bench/store_bench.sh" --rows --build "$1" --data "$2" --rounds "$3" \
    --files "${BENCH_ENTRIES:-5000}" --mb "${BENCH_MEGABYTES:-266}"
