#!/usr/bin/env bash
# The export of the benchmark clip against the floor every pipeline pays (FFmpeg decoding,
# cropping and scaling (lanczos) the same 8 s at 12 fps), in the same run, medians of N runs;
# then size and quality.
#   bench/export_bench.sh [BUILD_DIR] [N]     (default build/release, 5)
# Needs the clip: bash ../shared/bench/make-bench-media.sh /tmp/tovi-bench
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
runs=${2:-5}
media=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
clip=$media/src_1080p.mp4
[ -s "$clip" ] || { echo "missing $clip: run make-bench-media.sh $media"; exit 1; }
tovi=$build/src/cli/tovi
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { /usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1; }

# The machine's speed drifts between runs, so each run of ours is set against the floor run just
# before it, and the median of those ratios is the figure.
floor=() ours=() memory=() ratios=()
for _ in $(seq "$runs"); do
    read -r t _ < <(seconds ffmpeg -hide_banner -loglevel error -nostdin -threads 2 -i "$clip" \
        -t 8 -vf "fps=12,crop=1080:1080,scale=240:240:flags=lanczos" -f null -)
    floor+=("$t")
    read -r t m < <(seconds "$tovi" export "$clip" -o "$out/export.gif" --length 8 --fps 12)
    ours+=("$t")
    memory+=("$m")
    ratios+=("$(awk -v a="$t" -v b="${floor[-1]}" 'BEGIN {printf "%.3f", a / b}')")
done
f=$(printf '%s\n' "${floor[@]}" | median)
o=$(printf '%s\n' "${ours[@]}" | median)
m=$(printf '%s\n' "${memory[@]}" | median)
echo "floor (ffmpeg decode+scale, 96 frames): median ${f} s of: ${floor[*]}"
echo "tovi export:                             median ${o} s of: ${ours[*]}"
r=$(printf '%s\n' "${ratios[@]}" | median)
echo "ratio to the floor run just before: median ${r} of: ${ratios[*]}"
# How far the median could be off on a noisy machine: the middle 95 % of the medians of 2,000
# resamples of the ratios (fixed seed, so a rerun on the same ratios says the same).
/usr/bin/python3 - "${ratios[@]}" <<'PY'
import random, statistics, sys
ratios = [float(r) for r in sys.argv[1:]]
rng = random.Random(1)
medians = sorted(statistics.median(rng.choices(ratios, k=len(ratios))) for _ in range(2000))
print(f"median ratio, 95 % interval (bootstrap): {medians[50]:.3f}–{medians[1949]:.3f}")
PY
echo "ratio of the medians: $(awk -v a="$o" -v b="$f" 'BEGIN {printf "%.2f", a / b}') × the floor; peak memory $((m / 1024)) MB"
/usr/bin/python3 "${TOVI_GIF_QUALITY:-$here/../shared/bench/gif_quality.py}" "$out/export.gif" "$media/ref"
