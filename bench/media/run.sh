#!/usr/bin/env bash
# Digest and probe speed against the reference tools, measured in the same run:
#   1. vexora md5 --rule 1 vs md5sum on a 1 GiB file (page cache warm)   goal ratio <= 1.05
#   2. vexora md5 --rule 4 vs --rule 1 on the same file                  goal speed-up >= 2
#      (the rule-4 digest is checked against a block-by-block reference)
#   3. vexora probe vs the mediainfo program on the same 50 clips        files per second
# Usage: bench/media/run.sh BUILD_DIR   (a Release build gives the figures that count)
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
vexora="$build/bin/vexora"
[ -x "$vexora" ] || { echo "no $vexora: build the vexora target first"; exit 1; }
for tool in md5sum ffmpeg python3 bc /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "$tool is missing (scripts/install-deps installs it)"; exit 1; }
done

work=$(mktemp -d "${TMPDIR:-/tmp}/vx-bench-media.XXXXXX")
trap 'rm -rf "$work"' EXIT
size_mib=${VX_BENCH_MD5_MIB:-1024}
runs=${VX_BENCH_RUNS:-5}

# Best wall time and best processor time (user + system) of $runs runs of a command, in
# seconds, as "WALL CPU". The machine may be shared: the processor time is the steadier figure.
best_of() {
    local bw="" bc="" out w c
    for _ in $(seq "$runs"); do
        /usr/bin/time -o "$work/time.txt" -f '%e %U %S' "$@" >/dev/null 2>&1
        out=$(tail -1 "$work/time.txt")
        w=$(echo "$out" | cut -d' ' -f1)
        c=$(echo "$out" | awk '{print $2 + $3}')
        if [ -z "$bw" ] || [ "$(echo "$w < $bw" | bc -l)" = 1 ]; then bw=$w; fi
        if [ -z "$bc" ] || [ "$(echo "$c < $bc" | bc -l)" = 1 ]; then bc=$c; fi
    done
    echo "$bw $bc"
}
wall() { echo "${1%% *}"; }
cpu() { echo "${1##* }"; }
ratio() { printf '%.3f' "$(echo "$1 / $2" | bc -l)"; }

big="$work/lesson.flv"
echo "making a ${size_mib} MiB file ..."
head -c "$((size_mib * 1024 * 1024))" /dev/urandom >"$big"
cat "$big" >/dev/null # warm the page cache

# --- 1. rule 1 against md5sum -------------------------------------------------------------
want=$(md5sum "$big" | cut -c1-32)
got=$("$vexora" md5 --rule 1 "$big")
[ "${got:0:32}" = "$want" ] || { echo "FAIL: rule 1 digest $got differs from md5sum $want"; exit 1; }
len=$(echo "$got" | cut -d' ' -f2)
[ "$len" = "$(stat -c %s "$big")" ] || { echo "FAIL: length $len is not the file size"; exit 1; }
m_sum=$(best_of md5sum "$big")
m_r1=$(best_of "$vexora" md5 --rule 1 "$big")
echo "md5 rule 1 : vexora $(wall "$m_r1")s wall $(cpu "$m_r1")s cpu, md5sum $(wall "$m_sum")s wall $(cpu "$m_sum")s cpu"
echo "             ratio wall $(ratio "$(wall "$m_r1")" "$(wall "$m_sum")"), cpu $(ratio "$(cpu "$m_r1")" "$(cpu "$m_sum")") (goal <= 1.05)"

# --- 2. rule 4 against rule 1 ---------------------------------------------------------------
ref4=$(python3 - "$big" <<'PY'
import hashlib, sys
h = hashlib.md5()
with open(sys.argv[1], "rb") as f:
    k = 0
    while True:
        block = f.read(1024)
        if k % 4 == 0:
            h.update(block)
        k += 1
        if len(block) < 1024:
            break
print(h.hexdigest())
PY
)
got4=$("$vexora" md5 --rule 4 "$big")
[ "${got4:0:32}" = "$ref4" ] || { echo "FAIL: rule 4 digest ${got4:0:32} differs from the reference $ref4"; exit 1; }
m_r4=$(best_of "$vexora" md5 --rule 4 "$big")
echo "md5 rule 4 : $(wall "$m_r4")s wall $(cpu "$m_r4")s cpu; faster than rule 1 by wall $(ratio "$(wall "$m_r1")" "$(wall "$m_r4")")x," \
    "cpu $(ratio "$(cpu "$m_r1")" "$(cpu "$m_r4")")x (goal >= 2); digest equals the block-by-block reference"

# --- 3. probe rate against the mediainfo program ------------------------------------------
clips="$work/clips"
mkdir -p "$clips"
gen() { ffmpeg -nostdin -v error -y "$@"; }
gen -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=duration=2 -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac -shortest "$clips/src0.mp4"
gen -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=duration=2 -c:v flv -c:a libmp3lame \
    -shortest "$clips/src1.flv"
gen -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=duration=2 -c:v mpeg2video -c:a mp2 \
    -shortest -f mpegts "$clips/src2.ts"
gen -f lavfi -i sine=duration=2 -c:a libmp3lame "$clips/src3.mp3"
gen -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -c:v mpeg4 "$clips/src4.avi"
srcs=("$clips"/src*)
files=()
for i in $(seq 0 49); do
    src=${srcs[$((i % ${#srcs[@]}))]}
    dst="$clips/clip$i.${src##*.}"
    cp "$src" "$dst"
    files+=("$dst")
done
"$vexora" probe "${files[@]}" >/dev/null || { echo "FAIL: vexora probe failed on the clips"; exit 1; }
t_probe=$(wall "$(best_of "$vexora" probe "${files[@]}")")
rate_v=$(printf '%.1f' "$(echo "50 / $t_probe" | bc -l)")
if command -v mediainfo >/dev/null; then
    t_mi=$(wall "$(best_of mediainfo "${files[@]}")")
    rate_m=$(printf '%.1f' "$(echo "50 / $t_mi" | bc -l)")
    echo "probe      : vexora $rate_v files/s, mediainfo $rate_m files/s, ratio $(ratio "$rate_v" "$rate_m")"
else
    echo "probe      : vexora $rate_v files/s (the mediainfo program is not installed: no reference)"
fi
