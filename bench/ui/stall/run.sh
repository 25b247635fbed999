#!/usr/bin/env bash
# GUI stall figures (offscreen): starts vexora-sim on free ports with its own state folder,
# runs vx_ui_stall_bench against it (STALL_SCENARIOS picks scenarios, default all: 0 idle, 1 drop,
# 2 pipeline, 3 pause/delete, 4 sign out/in) and stops the simulator it started.
set -euo pipefail
build=$(cd "${1:-build/release}" && pwd)
bin="$build/bench/vx_ui_stall_bench"
sim="$build/bin/vexora-sim"
[ -x "$bin" ] || { echo "missing $bin (configure with -DVX_BENCH=ON)"; exit 1; }
[ -x "$sim" ] || { echo "missing $sim"; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/vx-stall.XXXXXX")
. "$(dirname "$0")/../../sim.sh"
cleanup() {
    stop_sim
    [ -n "${STALL_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
start_sim "$sim" "$work" 0,0 || exit 1
write_sim_config "$work/Config.ini" "[md5]" "rule=4"
QT_QPA_PLATFORM=offscreen "$bin" "$work/Config.ini" "$build/bin" "$work/run" "$web" "${STALL_SCENARIOS:-01234}"
