#!/usr/bin/env bash
# UI figures (offscreen), all in one run:
#  1. the course list: 10,000 rows filled, a full viewport repainted, and every paint timed
#     while 100 upload reports a second arrive for UI_BENCH_SECONDS (20); the reference is a
#     QStandardItemModel in a QTableView with the same rows and the same report stream;
#  2. start-up: VexoraV2 from its start to a shown login window (goal < 1 s), on a simulator
#     started here, beside a bare QApplication showing an empty window (UI_BENCH_STARTS, 10);
#  3. the longest GUI stalls while the main window does bulk work (stall/run.sh, its own simulator).
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
bin="$build/bench/vx_ui_bench"
[ -x "$bin" ] || { echo "missing $bin (configure with -DVX_BENCH=ON)"; exit 1; }
status=0
QT_QPA_PLATFORM=offscreen "$bin" 10000 "${UI_BENCH_SECONDS:-20}" || status=1

echo
work=$(mktemp -d)
. "$(dirname "$0")/../sim.sh"
cleanup() { stop_sim; rm -rf "$work"; }
trap cleanup EXIT
start_sim "$build/bin/vexora-sim" "$work" || exit 1
write_sim_config "$work/Config.ini"
"$build/bench/vx_startup_bench" "$build/bin/VexoraV2" "$build/bench/vx_bare_window" "$work/Config.ini" \
    "$work" "${UI_BENCH_STARTS:-10}" || status=1

echo
echo "-- GUI stalls under bulk work --"
bash "$(dirname "$0")/stall/run.sh" "$build" || status=1
exit $status
