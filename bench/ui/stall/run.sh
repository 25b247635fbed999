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
simpid=
cleanup() {
    [ -n "$simpid" ] && kill "$simpid" 2>/dev/null && wait "$simpid" 2>/dev/null
    [ -n "${STALL_KEEP:-}" ] && echo "kept $work" || rm -rf "$work"
}
trap cleanup EXIT
mkdir -p "$work/sim"
"$sim" --root "$work/sim" --web-port 0 --file-ports 0,0 --version-port 0 --quiet >"$work/sim.out" 2>"$work/sim.log" &
simpid=$!
for _ in $(seq 1 300); do
    grep -q '^version ' "$work/sim.out" 2>/dev/null && break
    sleep 0.05
done
web=$(awk '$1 == "web" { print $2 }' "$work/sim.out")
file=$(awk '$1 == "file" { print $2; exit }' "$work/sim.out")
version=$(awk '$1 == "version" { print $2 }' "$work/sim.out")
[ -n "$web" ] && [ -n "$file" ] || { echo "vexora-sim did not start:"; cat "$work/sim.log"; exit 1; }
cat >"$work/Config.ini" <<INI
[server]
LoginServerIP=127.0.0.1:$web
HostIP=127.0.0.1:$web
FileServerIP=127.0.0.1:$file
VerSvrIP=127.0.0.1:$version
[md5]
rule=4
INI
QT_QPA_PLATFORM=offscreen "$bin" "$work/Config.ini" "$build/bin" "$work/run" "$web" "${STALL_SCENARIOS:-01234}"
