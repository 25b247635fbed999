#!/usr/bin/env bash
# Pipeline figures, each against a reference measured in the same run:
#  1. overlap: `vexora run` of 6 clips (60 s, 720p) and 4 documents against the simulator, total
#     wall time against `vexora convert` of the same clips alone (goal <= 1.10: probing, digests
#     and uploads hide behind the conversions);
#  2. bookkeeping: 10,000 queued course files restored and folded at a session start, against
#     the bare read of the same rows (goal: under 300 ms);
#  3. small documents: 500 PDFs of 128 KiB in 10 folders through `vexora run` (sign-in, session
#     start and the full speed test over two file servers included) against `cp` and `md5sum` of
#     the same files (goal >= 20 files/s end to end).
# Usage: bench/pipeline/run.sh BUILD_DIR   (BENCH_PIPELINE_SECONDS shortens the clips,
# BENCH_PIPELINE_DOCS changes the number of documents, BENCH_PIPELINE_TABLES="3" runs only those)
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
vexora="$build/bin/vexora"
sim="$build/bin/vexora-sim"
ffmpeg="$build/bin/codecs/ffmpeg"
seconds=${BENCH_PIPELINE_SECONDS:-60}
docs=${BENCH_PIPELINE_DOCS:-500}
tables=${BENCH_PIPELINE_TABLES:-1 2 3}
want() { [[ " $tables " == *" $1 "* ]]; }
work=$(mktemp -d)
. "$(dirname "$0")/../sim.sh"
cleanup() { stop_sim; rm -rf "$work"; }
trap cleanup EXIT

start_sim "$sim" "$work" 0,0 || exit 1
write_sim_config "$work/Config.ini" "[md5]" "rule=4"
export VEXORA_USER=demo VEXORA_PASSWORD=demo123
now() { date +%s.%N; }

if want 1; then
    echo "Table 1: bookkeeping at a session start"
    "$build/bench/vx_pipeline_bench" "$work/bookkeeping" 10000
    echo
fi

if want 2; then
    export VEXORA_DATA_DIR="$work/data"
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
    echo
fi

if want 3; then
    echo "Table 3: small documents ($docs PDFs of 128 KiB in 10 folders; load: $(uptime | sed 's/.*load average: //'))"
    mkdir -p "$work/small/slides"
    for f in $(seq 0 9); do
        mkdir -p "$work/small/slides/unit$f"
    done
    for i in $(seq 1 "$docs"); do
        { printf '%%PDF-1.4\n'; head -c 131063 /dev/urandom; } > "$work/small/slides/unit$((i % 10))/slide$i.pdf"
    done
    sync
    export VEXORA_DATA_DIR="$work/data-small"
    t0=$(now)
    cp -r "$work/small/slides" "$work/small/copy"
    find "$work/small/copy" -type f -print0 | xargs -0 md5sum > /dev/null
    t1=$(now)
    "$vexora" --config "$work/Config.ini" run --out "$work/small-out" "$work/small/slides" > "$work/small.out" \
        2> "$work/small.err" || { echo "vexora run failed:"; tail -5 "$work/small.err"; exit 1; }
    t2=$(now)
    uploaded=$(grep -c '^' "$work/small.out")
    # The speed test's length from the log's time stamps (whole seconds): its start to its result,
    # or to the run's end when the run finished first.
    test_s=$(python3 - "$VEXORA_DATA_DIR/Log/log.txt" <<'PY'
import re, sys, datetime
start = end = last = None
for line in open(sys.argv[1], errors="replace"):
    m = re.match(r"(\d\d/\d\d \d\d:\d\d:\d\d) : ", line)
    if not m:
        continue
    last = t = datetime.datetime.strptime(m.group(1), "%m/%d %H:%M:%S")
    if start is None and "fileserver count" in line:
        start = t
    if "test finish" in line:
        end = t
if start and end:
    print(f"{(end - start).total_seconds():.0f}")
elif start and last:
    print(f"{(last - start).total_seconds():.0f} (stopped when the run ended)")
else:
    print("-")
PY
    )
    python3 - "$t0" "$t1" "$t2" "$uploaded" "$docs" "$test_s" <<'PY'
import sys
t0, t1, t2 = map(float, sys.argv[1:4]); files, docs, test_s = int(sys.argv[4]), int(sys.argv[5]), sys.argv[6]
ref, run = t1 - t0, t2 - t1
print("| files uploaded | cp + md5sum (s) | vexora run (s) | files/s (goal >= 20) | ratio | speed test (s) |")
print("|---|---|---|---|---|---|")
print(f"| {files}/{docs} | {ref:.2f} | {run:.1f} | {files / run:.1f} | {run / ref:.1f} | {test_s} |")
PY
fi
