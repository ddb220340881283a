#!/usr/bin/env bash
# Times the GIF writer on the benchmark clip's 96 reference frames and scores what it wrote:
#   bench/gif_quality_run.sh [BUILD_DIR]          (default BUILD_DIR: build/release)
# Needs the reference frames (../shared/bench/make-bench-media.sh /tmp/tovi-bench, or
# TOVI_BENCH_REF=DIR) and Debian's python3-pil and python3-numpy for the score.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
ref=${TOVI_BENCH_REF:-/tmp/tovi-bench/ref}
score=${TOVI_GIF_QUALITY:-$here/../shared/bench/gif_quality.py}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

[ -f "$ref/095.png" ] || { echo "no reference frames in $ref"; exit 1; }
TOVI_BENCH_REF=$ref TOVI_BENCH_GIF_OUT=$out/clip.gif \
    "$build/bench/gif_writer_bench" --benchmark_filter=encodeReferenceClip
/usr/bin/python3 "$score" "$out/clip.gif" "$ref"
