#!/usr/bin/env bash
# gifski (1.7.1, the Linux binary of the npm package) beside our export, on the benchmark clip or
# any clip of bench/make-more-media.sh: the same 96 frames, cropped and scaled like the floor
# (the clip's reference frames, PNG), then gifski at the highest quality that fits 2 MiB.
#   bench/gifski_peer.sh [BUILD_DIR] [CLIP] [RUNS]   (default build/release, src_1080p, 3)
# CLIP names DIR/CLIP.mp4 with its frames in DIR/ref (src_1080p) or DIR/ref-CLIP; DIR is
# TOVI_BENCH_MEDIA or /tmp/tovi-bench. Needs npm, ffmpeg and the score's python3-pil and numpy.
# Times are medians of RUNS, each set against the floor run just before it (as export_bench.sh).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
name=${2:-src_1080p}
runs=${3:-3}
media=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
score=${TOVI_GIF_QUALITY:-$here/../shared/bench/gif_quality.py}
clip=$media/$name.mp4
ref=$media/ref-$name
[ "$name" = src_1080p ] && ref=$media/ref
[ -f "$ref/095.png" ] || { echo "missing $ref: run make-bench-media.sh or make-more-media.sh"; exit 1; }
limit=2097152
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

npm install --silent --no-audit --no-fund --prefix "$work/npm" gifski@1.7.1 >/dev/null
"$work/npm/node_modules/gifski/bin/debian/gifski" --version >/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { /usr/bin/time -f '%e' "$@" 2>&1 >/dev/null | tail -1; }
floor() {
    seconds ffmpeg -hide_banner -loglevel error -nostdin -threads 2 -i "$clip" -t 8 \
        -vf "fps=12,crop=1080:1080,scale=240:240:flags=lanczos" -f null -
}
gifski() { # QUALITY
    local frames=("$ref"/*.png)
    seconds "$work/npm/node_modules/gifski/bin/debian/gifski" -q -Q "$1" --fps 12 \
        -o "$work/gifski.gif" "${frames[@]}"
}

# The highest quality that fits: gifski's size grows with its quality.
low=1 high=100
while [ "$low" -lt "$high" ]; do
    mid=$(((low + high + 1) / 2))
    gifski "$mid" >/dev/null
    if [ "$(stat -c %s "$work/gifski.gif")" -le "$limit" ]; then low=$mid; else high=$((mid - 1)); fi
done
quality=$low

ours=() theirs=() ratioOurs=() ratioTheirs=()
for _ in $(seq "$runs"); do
    f=$(floor)
    t=$(seconds "$build/src/cli/tovi" export "$clip" -o "$work/tovi.gif" --length 8 --fps 12)
    ours+=("$t")
    ratioOurs+=("$(awk -v a="$t" -v b="$f" 'BEGIN {printf "%.3f", a / b}')")
    f=$(floor)
    t=$(gifski "$quality")
    theirs+=("$t")
    ratioTheirs+=("$(awk -v a="$t" -v b="$f" 'BEGIN {printf "%.3f", a / b}')")
done
line() { # LABEL GIF TIMES RATIOS
    local q
    q=$(/usr/bin/python3 "$score" "$2" "$ref")
    printf '%-18s %s time=%ss %s×floor\n' "$1" "$(echo "$q" | sed 's/loop=0 //')" \
        "$(printf '%s\n' $3 | median)" "$(printf '%s\n' $4 | median)"
}
echo "clip $name; gifski's frames: $ref (PNG); gifski's time leaves out making them"
line "gifski -Q $quality" "$work/gifski.gif" "${theirs[*]}" "${ratioTheirs[*]}"
line "tovi export" "$work/tovi.gif" "${ours[*]}" "${ratioOurs[*]}"
