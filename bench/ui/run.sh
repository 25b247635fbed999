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
sim_pid=
cleanup() {
    if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
"$build/bin/vexora-sim" --root "$work/sim" --web-port 0 --file-ports 0 --version-port 0 --quiet > "$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do grep -q ready "$work/sim.out" 2>/dev/null && break; sleep 0.1; done
web=$(awk '$1=="web"{print $2}' "$work/sim.out")
file=$(awk '$1=="file"{print $2; exit}' "$work/sim.out")
ver=$(awk '$1=="version"{print $2}' "$work/sim.out")
[ -n "$web" ] && [ -n "$file" ] || { echo "simulator did not start"; cat "$work/sim.out"; exit 1; }
cat > "$work/Config.ini" <<INI
[server]
LoginServerIP=127.0.0.1:$web
HostIP=127.0.0.1:$web
FileServerIP=127.0.0.1:$file
VerSvrIP=127.0.0.1:$ver
INI
"$build/bench/vx_startup_bench" "$build/bin/VexoraV2" "$build/bench/vx_bare_window" "$work/Config.ini" \
    "$work" "${UI_BENCH_STARTS:-10}" || status=1

echo
echo "-- GUI stalls under bulk work --"
bash "$(dirname "$0")/stall/run.sh" "$build" || status=1
exit $status
