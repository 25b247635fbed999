#!/usr/bin/env bash
# Upload benchmark against the simulator on 127.0.0.1, all in one run:
#  1. throughput: a 1 GiB upload (data phase only) against a raw TCP copy of the same file into
#     a sink that writes to disk like the file server does; prints the ratio (goal >= 0.8);
#  2. memory: peak resident size of `vexora upload` for a 100 MiB and a 1 GiB file (must not
#     grow with the file).
# Usage: bench/upload/run.sh BUILD_DIR   (BENCH_UPLOAD_MIB changes the large size for a dry run)
set -euo pipefail
build=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
bin="$build/bin"
big=${BENCH_UPLOAD_MIB:-1024}
work=$(mktemp -d)
. "$(dirname "$0")/../sim.sh"
cleanup() { stop_sim; rm -rf "$work"; }
trap cleanup EXIT
export VEXORA_DATA_DIR="$work/data" VEXORA_USER=demo VEXORA_PASSWORD=demo123

start_sim "$bin/vexora-sim" "$work" || exit 1
write_sim_config "$work/Config.ini" "[md5]" "rule=4" "[trans]" "recvnum=101"
dir=$("$bin/vexora" --config "$work/Config.ini" ls | awk -F'\t' '$1=="dir"{print $2; exit}')

echo "making a ${big} MiB file ..."
head -c $((big * 1048576)) /dev/urandom > "$work/big.flv"
echo "Throughput (${big} MiB over 127.0.0.1, best of 3 rounds each)"
"$build/bench/vx_upload_bench" "$work/Config.ini" "$work/big.flv" "$dir" "$work"

echo
echo "Memory: peak resident size of vexora upload"
head -c $((100 * 1048576)) /dev/urandom > "$work/mid.flv"
for f in mid.flv big.flv; do
    printf 'Z' | dd of="$work/$f" bs=1 count=1 conv=notrunc status=none # content the server lacks
    size=$(stat -c %s "$work/$f")
    /usr/bin/time -f '%M' -o "$work/rss" "$bin/vexora" --config "$work/Config.ini" upload --dir "$dir" \
        --server "127.0.0.1:$file" "$work/$f" > /dev/null 2> "$work/upload.err" ||
        { cat "$work/upload.err"; exit 1; }
    printf '  %5d MiB file: peak RSS %6d KiB\n' $((size / 1048576)) "$(tail -1 "$work/rss")"
done
