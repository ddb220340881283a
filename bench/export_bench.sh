#!/usr/bin/env bash
# The export of the benchmark clip against the floor every pipeline pays (FFmpeg decoding,
# cropping and scaling (lanczos) the same 8 s at 12 fps), in the same run, medians of N runs;
# then size and quality.
#   bench/export_bench.sh [BUILD_DIR] [N] [OTHER_BUILD_DIR]     (default build/release, 5)
# With OTHER_BUILD_DIR, each run of the floor is followed by both exports, in turns of order,
# and the other's figures follow ours: two builds set against the same floor.
# Needs the clip: bash ../shared/bench/make-bench-media.sh /tmp/tovi-bench
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
runs=${2:-5}
other=${3:-}
media=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
clip=$media/src_1080p.mp4
[ -s "$clip" ] || { echo "missing $clip: run make-bench-media.sh $media"; exit 1; }
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { /usr/bin/time -f '%e %M' "$@" 2>&1 >/dev/null | tail -1; }

# The machine's speed drifts between runs, so each export is set against the floor run just
# before it, and the median of those ratios is the figure.
floor=() ours=() memory=() ratios=() theirs=() theirMemory=() theirRatios=()
export_of() { # BUILD_DIR OUTPUT: its seconds, kilobytes and ratio to the last floor run
    local t m
    read -r t m < <(seconds "$1/src/cli/tovi" export "$clip" -o "$2" --length 8 --fps 12)
    echo "$t $m $(awk -v a="$t" -v b="${floor[-1]}" 'BEGIN {printf "%.3f", a / b}')"
}
other_export() {
    local t m r
    read -r t m r < <(export_of "$other" "$out/other.gif")
    theirs+=("$t") theirMemory+=("$m") theirRatios+=("$r")
}
for run in $(seq "$runs"); do
    read -r t _ < <(seconds ffmpeg -hide_banner -loglevel error -nostdin -threads 2 -i "$clip" \
        -t 8 -vf "fps=12,crop=1080:1080,scale=240:240:flags=lanczos" -f null -)
    floor+=("$t")
    # The second export runs on a warmer machine: the builds take turns at going first.
    [ -z "$other" ] || ((run % 2)) || other_export
    read -r t m r < <(export_of "$build" "$out/export.gif")
    ours+=("$t") memory+=("$m") ratios+=("$r")
    [ -z "$other" ] || ! ((run % 2)) || other_export
done
f=$(printf '%s\n' "${floor[@]}" | median)
echo "floor (ffmpeg decode+scale, 96 frames): median ${f} s of: ${floor[*]}"
report() { # NAME GIF, then the names of its arrays of seconds, kilobytes and ratios
    local name=$1 gif=$2
    local -n times=$3 kilobytes=$4 rs=$5
    local o m r
    o=$(printf '%s\n' "${times[@]}" | median)
    m=$(printf '%s\n' "${kilobytes[@]}" | median)
    r=$(printf '%s\n' "${rs[@]}" | median)
    echo "$name: median ${o} s of: ${times[*]}"
    echo "ratio to the floor run just before: median ${r} of: ${rs[*]}"
    # How far the median could be off on a noisy machine: the middle 95 % of the medians of
    # 2,000 resamples of the ratios (fixed seed, so a rerun on the same ratios says the same).
    /usr/bin/python3 - "${rs[@]}" <<'PY'
import random, statistics, sys
ratios = [float(r) for r in sys.argv[1:]]
rng = random.Random(1)
medians = sorted(statistics.median(rng.choices(ratios, k=len(ratios))) for _ in range(2000))
print(f"median ratio, 95 % interval (bootstrap): {medians[50]:.3f}–{medians[1949]:.3f}")
PY
    echo "ratio of the medians: $(awk -v a="$o" -v b="$f" 'BEGIN {printf "%.2f", a / b}') × the floor; peak memory $((m / 1024)) MB"
    /usr/bin/python3 "${TOVI_GIF_QUALITY:-$here/../shared/bench/gif_quality.py}" "$gif" "$media/ref"
}
report "tovi export" "$out/export.gif" ours memory ratios
if [ -n "$other" ]; then
    report "the other build's export" "$out/other.gif" theirs theirMemory theirRatios
    pairs=()
    for i in "${!ours[@]}"; do
        pairs+=("$(awk -v a="${theirs[i]}" -v b="${ours[i]}" 'BEGIN {printf "%.3f", a / b}')")
    done
    echo "the other build against this one, run by run: median $(printf '%s\n' "${pairs[@]}" | median)"
fi
