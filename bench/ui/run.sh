#!/usr/bin/env bash
# Course list figures (offscreen): 10,000 rows filled, a full viewport repainted, and every paint
# timed while 100 upload reports a second arrive for UI_BENCH_SECONDS (20). The reference is a
# QStandardItemModel in a QTableView with the same rows and the same report stream, in the same run.
# Then the longest GUI stalls while the main window does bulk work (stall/run.sh).
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
bin="$build/bench/vx_ui_bench"
[ -x "$bin" ] || { echo "missing $bin (configure with -DVX_BENCH=ON)"; exit 1; }
QT_QPA_PLATFORM=offscreen "$bin" 10000 "${UI_BENCH_SECONDS:-20}"
echo
echo "-- GUI stalls under bulk work --"
bash "$(dirname "$0")/stall/run.sh" "$build"
