#!/usr/bin/env bash
# The playing preview on the benchmark clip: the decoding of a whole 8 s / 12 fps fragment set
# against the floor (FFmpeg decoding and scaling the same 96 frames) and against `tovi export`
# of it, each run against the ones just before it; then the first played frame, the cost of
# playing, punctuality while dragging, and memory.
#   bench/playback_bench.sh [BUILD_DIR] [N]     (default build/release, 5)
# With a DISPLAY (xvfb-run -a bench/playback_bench.sh), the window's own cost is measured too.
# Needs the clip: bash ../shared/bench/make-bench-media.sh /tmp/tovi-bench
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
runs=${2:-5}
media=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
export TOVI_BENCH_MEDIA=$media
clip=$media/src_1080p.mp4
[ -s "$clip" ] || { echo "missing $clip: run make-bench-media.sh $media"; exit 1; }
bench=$build/bench/playback_bench
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { /usr/bin/time -f '%e' "$@" 2>&1 >/dev/null | tail -1; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }

floor=() export=() ready=() toFloor=() toExport=()
for _ in $(seq "$runs"); do
    floor+=("$(seconds ffmpeg -hide_banner -loglevel error -nostdin -threads 2 -i "$clip" \
        -t 8 -vf "fps=12,crop=1080:1080,scale=240:240:flags=lanczos" -f null -)")
    export+=("$(seconds "$build/src/cli/tovi" export "$clip" -o "$out/export.gif" --length 8 \
        --fps 12)")
    ready+=("$("$bench" ready 2>/dev/null | cut -d' ' -f1)")
    toFloor+=("$(ratio "${ready[-1]}" "${floor[-1]}")")
    toExport+=("$(ratio "${ready[-1]}" "${export[-1]}")")
done
echo "floor (ffmpeg decode+scale, 96 frames): median $(printf '%s\n' "${floor[@]}" | median) s of: ${floor[*]}"
echo "tovi export:                             median $(printf '%s\n' "${export[@]}" | median) s of: ${export[*]}"
echo "all 96 frames ready:                     median $(printf '%s\n' "${ready[@]}" | median) s of: ${ready[*]}"
echo "ready against the floor run before it: median $(printf '%s\n' "${toFloor[@]}" | median) of: ${toFloor[*]}"
echo "ready against the export run before it: median $(printf '%s\n' "${toExport[@]}" | median) of: ${toExport[*]}"
"$bench" first 2>/dev/null | tail -1
"$bench" cpu 2>/dev/null
"$bench" drag 2>/dev/null
"$bench" memory still 2>/dev/null
"$bench" memory 2>/dev/null

# The window itself, painting: tovi-studio under Xvfb with the clip open, its CPU over 10 s once
# every frame has decoded, playing against reduced motion (the still preview alone).
window() {
    local home pid ticks
    home=$(mktemp -d)
    mkdir "$home/ToviStudio" # the tutorial seen: it would play too
    printf '[General]\ntutorial.factory-to-yours.version=1\n' >"$home/ToviStudio/ToviStudio.ini"
    HOME=$home XDG_CONFIG_HOME=$home XDG_DATA_HOME=$home TOVI_REDUCE_MOTION=$1 QT_QPA_PLATFORM=xcb \
        "$build/src/app/tovi-studio" "$clip" >/dev/null 2>&1 &
    pid=$!
    sleep 12
    cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
    ticks=$(cpu)
    sleep 10
    echo "$(( $(cpu) - ticks ))"
    kill "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$home"
}
if [ -n "${DISPLAY:-}" ]; then
    hz=$(getconf CLK_TCK)
    playing=$(window 0) still=$(window 1)
    echo "the window over 10 s: playing $(ratio "$playing" "$(( hz / 10 ))") %," \
        "still $(ratio "$still" "$(( hz / 10 ))") % of one core:" \
        "playback $(ratio "$(( playing - still ))" "$(( hz / 10 ))") %"
fi
