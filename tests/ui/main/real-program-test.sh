#!/usr/bin/env bash
# The real VexoraV2 on an X server of its own (Xvfb, under the openbox window manager), driven
# with xdotool like a teacher on the first day, against a vexora-sim of its own:
#   1. the first login shows the start-up settings over the main window; the end of the desktop
#      session (SIGTERM) closes the program in order;
#   2. later logins: the main window at 960x640 fits its pages, its border resizes it down to
#      its minimum size, "删除" in a row's menu deletes that row, the sign-out question comes
#      only while a conversion runs.
# Screenshots go to the folder given (for people to look at).
#   real-program-test.sh BIN_DIR SHOT_DIR
set -euo pipefail
bin=$(cd "$1" && pwd)
shots=$2
mkdir -p "$shots"

# shellcheck source=real-program-env.sh
source "$(dirname "$0")/real-program-env.sh"

if [[ -z ${VX_REAL_INNER:-} ]]; then
    vx_need_tools xvfb-run openbox xdotool import sqlite3 ffmpeg
    exec env VX_REAL_INNER=1 xvfb-run -a -s "-screen 0 1280x800x24 -nolisten tcp" "$0" "$@"
fi

unset DBUS_SESSION_BUS_ADDRESS # no session bus: no keyring prompt
vx_real_start

login() {
    until_ok 150 window_sized 380 330 >/dev/null || fail "no login window"
    sleep 1 # placed and ready for input
    read -r _ lx ly _ _ <<<"$(window_sized 380 330)"
    if [[ ${1:-} == type ]]; then # after a sign-out the password is typed again
        click $((lx + 189)) $((ly + 196))
        xdotool type --delay 50 demo123
    fi
    click $((lx + 189)) $((ly + 274)) # 登录
}

# --- 1. the first login ----------------------------------------------------------------------
start_program --user demo --password demo123
login
until_ok 300 logged "the start-up settings window is shown" || fail "the start-up settings were not shown"
sleep 1
shot real-first-login-start-settings
[[ $(windows | awk '$4 > 400 && $4 < 700' | wc -l) -ge 1 ]] || fail "the start-up window is not on the screen"
logged "restored" && fail "the session started before the start-up settings were answered"
# The desktop session ends: the program closes in order and says so.
kill -TERM "$vx_pid"
code=0
until_ok 150 bash -c "! kill -0 $vx_pid 2>/dev/null" || fail "the program did not end on SIGTERM"
wait "$vx_pid" || code=$?
[[ $code -eq 0 ]] || fail "the program ended with status $code on SIGTERM"
logged "signal 15: the program closes" || fail "SIGTERM did not pass through the orderly close"
tail -3 "$log" | grep -q "VexoraV2.0 Exit" || fail "no exit lines after SIGTERM"

# --- 2. later logins -------------------------------------------------------------------------
user=$(sqlite3 "$db" "select userid from setdata limit 1")
[[ -n $user ]] || fail "no options stored for the user"
sqlite3 "$db" "update setdata set uinfo = uinfo | 128 | 16, unkconvertwidth = 800, unkconvertheight = 600,
  convertpath = '$work/out'"
ffmpeg -v error -y -f lavfi -i testsrc=size=640x480:rate=25 -t 240 -c:v libx264 -preset ultrafast \
    "$work/lecture.mp4" || fail "no test clip"
sqlite3 "$db" "insert into coursefile(fileindex,userid,orgid,direcid,filename,filepath,status,filesize,filetype,enabled)
  values ('gone-1',$user,0,0,'第一课 讲义.pdf','$work/missing-1.pdf',2,1000,1,0),
         ('gone-2',$user,0,0,'第二课 讲义.pdf','$work/missing-2.pdf',2,1000,1,0),
         ('clip',$user,0,0,'lecture.mp4','$work/lecture.mp4',2,$(stat -c %s "$work/lecture.mp4"),0,0)"
start_program --user demo --password demo123
login
until_ok 300 window_sized 960 640 >/dev/null || fail "the main window is not 960x640: $(windows)"
read -r main mx my _ _ <<<"$(window_sized 960 640)"
until_ok 300 logged "restored 3 course files" || fail "the stored course files were not restored"
sleep 2
shot real-main-960x640-space
click $((mx + 215)) $((my + 70)) # 已转换
shot real-main-960x640-converted
click $((mx + 81)) $((my + 70)) # 正在处理
shot real-main-960x640-course

# "删除" in the menu of the selected first row deletes that row, and only it.
click $((mx + 140)) $((my + 177))
click $((mx + 140)) $((my + 177)) 3
shot real-course-menu
click $((mx + 173)) $((my + 190)) # the menu's first entry
until_ok 50 logged "DeleteProcessItem     end" || fail "the menu's 删除 did not delete"
shot real-course-after-delete # the database is looked at once the program has ended

# Signing out while the clip converts asks, naming one file; Cancel keeps the session.
until_ok 600 grep -aq "start convert, file($work/lecture.mp4)" "$VEXORA_DATA_DIR/Log/convert.txt" ||
    fail "the clip does not convert"
sleep 2
sign_out() {
    local before after drop
    before=$(windows | awk '{print $1}' | sort)
    click $((mx + 960 - 148)) $((my + 24)) # the settings button
    after=$(windows | awk '{print $1}' | sort)
    drop=$(comm -13 <(echo "$before") <(echo "$after") | head -1)
    [[ -n $drop ]] || fail "the settings menu did not open"
    xdotool key --delay 150 Down Down Down Return # 退出登录
    sleep 0.5
}
sign_out
until_ok 50 window_sized 340 170 >/dev/null || fail "no question while a conversion runs: $(windows)"
shot real-sign-out-question
read -r _ bx by _ _ <<<"$(window_sized 340 170)"
click $((bx + 283)) $((by + 141)) # 取消
window_sized 960 640 >/dev/null || fail "Cancel did not keep the session"
# Stopped, it converts no more: signing out asks nothing.
click $((mx + 140)) $((my + 211))       # the clip, now the second row
click $((mx + 310)) $((my + 110))       # 停止转换
until_ok 50 window_sized 340 170 >/dev/null || fail "stopping a conversion did not ask"
read -r _ bx by _ _ <<<"$(window_sized 340 170)"
click $((bx + 203)) $((by + 141)) # 确定
sleep 1.5 # the encoder ends; the record stays "转换已停止" (a working status, but nothing converts)
shot real-conversion-stopped
sign_out
until_ok 50 window_sized 380 330 >/dev/null || fail "signing out without a conversion did not reach the login"
! window_sized 340 170 >/dev/null || fail "signing out asked although nothing converts"
shot real-signed-out

# The border resizes the frameless window, down to its minimum size.
login type
until_ok 300 window_sized 960 640 >/dev/null || fail "the main window did not come back"
read -r main mx my _ _ <<<"$(window_sized 960 640)"
xdotool mousemove $((mx + 958)) $((my + 638)) sleep 0.3 mousedown 1 sleep 0.3 \
    mousemove $((mx + 700)) $((my + 500)) sleep 0.3 mousemove $((mx + 200)) $((my + 200)) sleep 0.5 mouseup 1
until_ok 30 window_sized 820 560 >/dev/null || fail "the border did not resize to the minimum: $(windows)"
shot real-main-minimum-space
click $((mx + 81)) $((my + 70))
shot real-main-minimum-course
click $((mx + 215)) $((my + 70))
shot real-main-minimum-converted

kill -TERM "$vx_pid"
wait "$vx_pid" || fail "the program did not end cleanly"
# Only the row whose menu said "删除" went.
[[ $(sqlite3 "$db" "select group_concat(fileindex) from (select fileindex from coursefile order by fileindex)") == clip,gone-2 ]] ||
    fail "the menu's 删除 did not delete exactly its row: $(sqlite3 "$db" "select fileindex from coursefile")"
grep -aq "disk I/O error" "$log" && fail "the database failed"
echo "real-program-test: all checks passed; screenshots in $shots"
