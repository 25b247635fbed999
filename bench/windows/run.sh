#!/usr/bin/env bash
# The Windows programs under Wine against their references, in one run (informational: Wine is
# not Windows):
#  1. `vexora.exe md5` of a 1 GiB file against md5sum (whole-file digest of a .pdf name, so both
#     read and hash every byte);
#  2. `vexora.exe upload` of a 1 GiB file against the Linux `vexora upload`, both to the same
#     Linux simulator on 127.0.0.1.
# Usage: bench/windows/run.sh LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]   (BENCH_WIN_MIB: other size)
set -euo pipefail
build=$(cd "${1:?usage: run.sh LINUX_BUILD_DIR [WINDOWS_BUILD_DIR]}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
win=${2:-$root/build/windows}
if [[ ! -x $win/bin/vexora.exe ]] || ! command -v wine >/dev/null; then
    echo "bench windows: no Windows build in $win (make windows) or no Wine; skipped"
    exit 0
fi
win=$(cd "$win" && pwd)
mib=${BENCH_WIN_MIB:-1024}
work=$(mktemp -d)
. "$root/bench/sim.sh"
export WINEPREFIX=$win/wineprefix WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY
cleanup() { stop_sim; wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
"$root/scripts/wine-run" cmd /c exit >/dev/null 2>&1 || true # makes the prefix when missing
wineserver -p 2>/dev/null || true # already running is fine

export VEXORA_DATA_DIR="$work/data" VEXORA_USER=demo VEXORA_PASSWORD=demo123
start_sim "$build/bin/vexora-sim" "$work" || exit 1
write_sim_config "$work/Config.ini" "[md5]" "rule=4" "[trans]" "recvnum=101"
dir=$("$build/bin/vexora" --config "$work/Config.ini" ls | awk -F'\t' '$1=="dir"{print $2; exit}')

secs() { # command... -> wall seconds
    local t0 t1
    t0=$(date +%s.%N)
    "$@" > /dev/null 2> "$work/err" || { cat "$work/err" >&2; return 1; }
    t1=$(date +%s.%N)
    echo "$t1 - $t0" | bc -l
}

echo "making a ${mib} MiB file ..."
head -c $((mib * 1048576)) /dev/urandom > "$work/big.pdf"
cat "$work/big.pdf" > /dev/null # both runs read it from the page cache

ref=$(secs md5sum "$work/big.pdf")
ours=$(secs wine "$win/bin/vexora.exe" md5 "$work/big.pdf")
printf 'md5 of %d MiB:    md5sum %6.2f s, vexora.exe %6.2f s, ratio %.2f (md5sum time / ours)\n' \
    "$mib" "$ref" "$ours" "$(echo "$ref / $ours" | bc -l)"

cp "$work/big.pdf" "$work/big.flv"
printf 'Z' | dd of="$work/big.flv" bs=1 count=1 conv=notrunc status=none # a file the server lacks
lin=$(secs "$build/bin/vexora" --config "$work/Config.ini" upload --dir "$dir" "$work/big.flv")
# Other content under another name: the folder holds the first one already.
mv "$work/big.flv" "$work/big2.flv"
printf 'Y' | dd of="$work/big2.flv" bs=1 count=1 conv=notrunc status=none
ours=$(secs wine "$win/bin/vexora.exe" --config "$work/Config.ini" upload --dir "$dir" "$work/big2.flv")
printf 'upload of %d MiB: Linux vexora %6.2f s, vexora.exe %6.2f s, ratio %.2f (Linux time / ours)\n' \
    "$mib" "$lin" "$ours" "$(echo "$lin / $ours" | bc -l)"
