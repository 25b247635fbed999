#!/usr/bin/env bash
# Local database figures: WAL (what the program uses) against SQLite's default journal on the same
# work in the same run. The database files go to a folder on the build's disk, not to memory.
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
bin="$build/bench/vx_store_bench"
[ -x "$bin" ] || { echo "missing $bin (configure with -DVX_BENCH=ON)"; exit 1; }
work="$build/bench/store-data"
rm -rf "$work"
"$bin" "$work" 10000 10000 1000
rm -rf "$work"
