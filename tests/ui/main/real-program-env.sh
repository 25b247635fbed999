# The pieces the real-program tests share, sourced by each test after it has set `bin` (the
# folder of VexoraV2 and vexora-sim) and `shots` (the screenshot folder):
#   vx_real_start   a work folder with its own home, data folder and settings (removed at the
#                   end with every process started here), openbox, and a vexora-sim of its own
#                   whose ports the program's Config.ini names;
#   start_program   VexoraV2 with the arguments given ($vx_pid);
#   windows, window_sized, click, shot, logged, until_ok, fail   (see each).
# shellcheck shell=bash

work=
pids=()
vx_pid=
db=
log=

vx_real_cleanup() {
    for p in "${pids[@]}"; do
        kill -TERM "$p" 2>/dev/null || true
    done
    sleep 0.5
    for p in "${pids[@]}"; do
        kill -KILL "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    [[ -z $work ]] && return
    [[ -n ${VX_KEEP:-} ]] && echo "kept $work" >&2 || rm -rf "$work"
}

# The test's name in messages: the script's file name.
vx_test=$(basename "$0" .sh)
fail() {
    echo "$vx_test: $* (windows: $(windows 2>/dev/null | tr "\n" ";"))" >&2
    import -window root "$shots/${vx_failure_shot:-real-failure}.png" 2>/dev/null || true
    [[ -f $work/data/Log/log.txt ]] && tail -30 "$work/data/Log/log.txt" >&2
    [[ -f $work/vx.err ]] && grep -A12 "ERROR: LeakSanitizer\|Direct leak" "$work/vx.err" | head -60 >&2
    exit 1
}
# Waits up to $1 tenths of a second for the command that follows to succeed.
until_ok() {
    local n=$1
    shift
    for _ in $(seq "$n"); do
        "$@" && return 0
        sleep 0.1
    done
    return 1
}
shot() { import -window root "$shots/$1.png"; }

# Fails unless every tool named is installed.
vx_need_tools() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null || { echo "$vx_test: $tool is missing" >&2; exit 1; }
    done
}

vx_real_start() {
    mkdir -p "$shots"
    work=$(mktemp -d "${TMPDIR:-/tmp}/vx-real.XXXXXX")
    trap vx_real_cleanup EXIT
    # A home, a data folder and settings of the test's own.
    export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
    export VEXORA_DATA_DIR=$work/data VEXORA_CONFIG=$work/Config.ini LANG=C.UTF-8
    export QT_QPA_PLATFORM=xcb # the X server of this test, whatever the suite runs on
    export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}
    mkdir -p "$HOME" "$VEXORA_DATA_DIR"

    openbox >"$work/openbox.log" 2>&1 &
    pids+=($!)
    "$bin/vexora-sim" --root "$work/sim" --web-port 0 --file-ports 0,0 --version-port 0 \
        >"$work/sim.out" 2>"$work/sim.log" &
    pids+=($!)
    until_ok 100 grep -q '^version ' "$work/sim.out" || fail "vexora-sim did not start"
    port() { awk -v k="$1" '$1 == k { print $2; exit }' "$work/sim.out"; }
    printf '[server]\nLoginServerIP=127.0.0.1:%s\nHostIP=127.0.0.1:%s\nFileServerIP=127.0.0.1:%s\nVerSvrIP=127.0.0.1:%s\n' \
        "$(port web)" "$(port web)" "$(port file)" "$(port version)" >"$VEXORA_CONFIG"
    db=$VEXORA_DATA_DIR/DB/vexora_v2.0.db
    log=$VEXORA_DATA_DIR/Log/log.txt
}

start_program() {
    "$bin/VexoraV2" "$@" >"$work/vx.out" 2>"$work/vx.err" &
    vx_pid=$!
    pids+=("$vx_pid")
}
# The visible windows of the program, one "id x y width height" line each.
windows() {
    local w
    for w in $(xdotool search --onlyvisible --pid "$vx_pid" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        echo "$WINDOW $X $Y $WIDTH $HEIGHT"
    done
}
# The first visible window of that size; fails when there is none.
window_sized() { windows | awk -v w="$1" -v h="$2" '$4 == w && $5 == h && !n++ { print } END { exit !n }'; }
click() { xdotool mousemove "$1" "$2" sleep 0.2 click "${3:-1}"; sleep 0.5; }
logged() { grep -aq "$1" "$log" 2>/dev/null; }
