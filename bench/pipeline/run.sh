#!/usr/bin/env bash
# Pipeline figures, each against a reference measured in the same run:
#  1. overlap: `vexora run` of 6 clips (60 s, 720p) and 4 documents against the simulator, total
#     wall time against `vexora convert` of the same clips alone (goal <= 1.10: probing, digests
#     and uploads hide behind the conversions);
#  2. bookkeeping: 10,000 queued course files restored and folded at a session start, against
#     the bare read of the same rows (goal: under 300 ms).
# Usage: bench/pipeline/run.sh BUILD_DIR   (BENCH_PIPELINE_SECONDS shortens the clips)
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
vexora="$build/bin/vexora"
sim="$build/bin/vexora-sim"
ffmpeg="$build/bin/codecs/ffmpeg"
seconds=${BENCH_PIPELINE_SECONDS:-60}
work=$(mktemp -d)
. "$(dirname "$0")/../sim.sh"
cleanup() { stop_sim; rm -rf "$work"; }
trap cleanup EXIT

echo "Table 1: bookkeeping at a session start"
"$build/bench/vx_pipeline_bench" "$work/bookkeeping" 10000
echo

echo "Table 2: overlap (6 clips of ${seconds} s 1280x720 + 4 documents)"
mkdir -p "$work/in/clips" "$work/in/docs"
for i in 1 2 3 4 5 6; do
    "$ffmpeg" -nostdin -hide_banner -loglevel error -y -f lavfi \
        -i "testsrc2=s=1280x720:r=25,hue=h=$((i * 50))" -f lavfi -i "sine=frequency=$((200 + i * 60))" \
        -t "$seconds" -pix_fmt yuv420p -c:v mpeg4 -q:v 4 -c:a aac "$work/in/clips/lesson$i.avi"
done
for i in 1 2 3 4; do
    { printf '%%PDF-1.4\n'; head -c $((8 << 20)) /dev/urandom; } > "$work/in/docs/handout$i.pdf"
done

start_sim "$sim" "$work" 0,0 || exit 1
write_sim_config "$work/Config.ini" "[md5]" "rule=4"
export VEXORA_DATA_DIR="$work/data" VEXORA_USER=demo VEXORA_PASSWORD=demo123
now() { date +%s.%N; }

t0=$(now)
"$vexora" --config "$work/Config.ini" convert --out "$work/convert-only" "$work"/in/clips/*.avi > /dev/null 2> "$work/convert.err"
t1=$(now)
"$vexora" --config "$work/Config.ini" run --test-ms 2000 --out "$work/run-out" "$work/in" > "$work/run.out" 2> "$work/run.err" \
    || { echo "vexora run failed:"; tail -5 "$work/run.err"; exit 1; }
t2=$(now)
uploaded=$(grep -c . "$work/run.out")
python3 - "$t0" "$t1" "$t2" "$uploaded" <<'PY'
import sys
t0, t1, t2 = map(float, sys.argv[1:4]); files = sys.argv[4]
conv, run = t1 - t0, t2 - t1
print("| files uploaded | vexora convert, clips only (s) | vexora run, everything (s) | ratio (goal <= 1.10) |")
print("|---|---|---|---|")
print(f"| {files} | {conv:.1f} | {run:.1f} | {run / conv:.3f} |")
PY
