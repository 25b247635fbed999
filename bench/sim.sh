# Sourced by the benchmark scripts: starts vexora-sim on free ports and writes a Config.ini that
# points at it.
#   start_sim SIM_BINARY WORK_DIR [FILE_PORTS]   sets sim_pid, web, file, ver (FILE_PORTS: "0" or "0,0")
#   write_sim_config FILE [EXTRA INI LINES...]   the [server] section, then the extra lines
#   stop_sim                                     for the caller's exit trap
sim_pid=

start_sim() {
    local sim=$1 work=$2 ports=${3:-0}
    mkdir -p "$work/sim"
    "$sim" --root "$work/sim" --web-port 0 --file-ports "$ports" --version-port 0 --quiet \
        > "$work/sim.out" 2> "$work/sim.log" &
    sim_pid=$!
    for _ in $(seq 1 300); do
        grep -q '^version ' "$work/sim.out" 2>/dev/null && break
        sleep 0.05
    done
    web=$(awk '$1 == "web" { print $2 }' "$work/sim.out")
    file=$(awk '$1 == "file" { print $2; exit }' "$work/sim.out")
    ver=$(awk '$1 == "version" { print $2 }' "$work/sim.out")
    if [ -z "$web" ] || [ -z "$file" ]; then
        echo "vexora-sim did not start:"
        cat "$work/sim.out" "$work/sim.log"
        return 1
    fi
}

write_sim_config() {
    local out=$1
    shift
    {
        printf '[server]\nLoginServerIP=127.0.0.1:%s\nHostIP=127.0.0.1:%s\n' "$web" "$web"
        printf 'FileServerIP=127.0.0.1:%s\nVerSvrIP=127.0.0.1:%s\n' "$file" "$ver"
        for line in "$@"; do printf '%s\n' "$line"; done
    } > "$out"
}

stop_sim() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null || true
        wait "$sim_pid" 2>/dev/null || true
    fi
}
