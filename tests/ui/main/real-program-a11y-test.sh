#!/usr/bin/env bash
# The real VexoraV2 as a screen reader meets it: on an X server of its own (Xvfb, openbox), in
# a D-Bus session of its own with the accessibility bus, against a vexora-sim of its own.
# real-program-a11y.py finds the login window's edits, check boxes and buttons by role and
# name and signs in by keyboard alone up to the start-up settings of the first day; once they
# count as answered, it signs in again and finds the main window, its page tabs and the course
# page's buttons, and reads a row of the space tree.
#   real-program-a11y-test.sh BIN_DIR SHOT_DIR
# Needs at-spi2-core, python3-pyatspi (it imports only under /usr/bin/python3) and dbus-daemon.
set -euo pipefail
bin=$(cd "$1" && pwd)
shots=$2
here=$(cd "$(dirname "$0")" && pwd)
py=/usr/bin/python3

# shellcheck source=real-program-env.sh
source "$here/real-program-env.sh"
vx_failure_shot=real-a11y-failure

if [[ -z ${VX_REAL_INNER:-} ]]; then
    vx_need_tools xvfb-run openbox xdotool import sqlite3 dbus-run-session dbus-send
    [[ -x /usr/libexec/at-spi-bus-launcher ]] || { echo "$vx_test: at-spi2-core is missing" >&2; exit 1; }
    $py -c 'import pyatspi' 2>/dev/null || { echo "$vx_test: python3-pyatspi is missing" >&2; exit 1; }
    # A session bus that can start the accessibility bus and nothing else: were the keyring
    # activated, its "create a keyring" prompt would take the keyboard.
    bus=$(mktemp -d "${TMPDIR:-/tmp}/vx-a11y-bus.XXXXXX")
    trap 'rm -rf "$bus"' EXIT
    mkdir "$bus/services"
    # The bus sockets want a runtime folder only the user can enter.
    mkdir -m 0700 "$bus/run"
    export XDG_RUNTIME_DIR=$bus/run GSETTINGS_BACKEND=memory
    cp /usr/share/dbus-1/services/org.a11y.Bus.service "$bus/services/"
    cat >"$bus/session.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$bus</listen>
  <auth>EXTERNAL</auth>
  <servicedir>$bus/services</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    VX_REAL_INNER=1 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" \
        dbus-run-session --config-file="$bus/session.conf" -- "$0" "$@"
    exit
fi

vx_real_start
[[ $(stat -c %a "$XDG_RUNTIME_DIR") == 700 ]] || fail "XDG_RUNTIME_DIR is not private"
# The accessibility bus first: the program looks for it once, at start-up.
dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null ||
    fail "the accessibility bus does not start"

export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
# Runs the checks of phase $1 on a program started afresh, then ends it.
a11y_phase() {
    start_program
    $py "$here/real-program-a11y.py" "$vx_pid" "$shots" "$1" || fail "the accessibility checks ($1) failed"
    kill -TERM "$vx_pid"
    wait "$vx_pid" || fail "the program did not end cleanly"
}
a11y_phase login
# The start-up settings count as answered (their own window is tested elsewhere).
sqlite3 "$db" "update setdata set uinfo = uinfo | 128, unkconvertwidth = 800, unkconvertheight = 600" ||
    fail "no options stored for the user"
a11y_phase main
echo "$vx_test: all checks passed; screenshots in $shots"
