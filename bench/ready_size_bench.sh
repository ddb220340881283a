#!/usr/bin/env bash
# The GIF made ahead of the send, in the studio model, for the benchmark clip and the five of
# make-more-media.sh, 8 s at 12 fps: its bytes against `tovi export` of the same fragment (byte for
# byte), the time from the settings resting to the size against that export's whole process (with
# the frames at hand, and right after a change of start), and the playing preview's late frames
# meanwhile. Each round runs the two in turn; the ratios are taken round by round and their median
# is the figure, since the machine's speed drifts.
#   bench/ready_size_bench.sh [BUILD_DIR] [ROUNDS]     (default build/release, 3)
# Needs the clips: make-bench-media.sh and bench/make-more-media.sh into /tmp/tovi-bench.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
rounds=${2:-3}
export TOVI_BENCH_MEDIA=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
echo "clip       bytes     same  at hand  changed  export  ratio (at hand, changed)  late/10 s"
for clip in src_1080p zoom-g60 zoom-g250 screen cartoon night; do
    file=$TOVI_BENCH_MEDIA/$clip.mp4
    [ -s "$file" ] || { echo "missing $clip.mp4"; exit 1; }
    hand=() change=() export=() late=() rh=() rc=() same=yes
    for _ in $(seq "$rounds"); do
        line=$(TOVI_BENCH_CLIP=$clip.mp4 TOVI_BENCH_OUT=$out/ahead.gif \
            "$build/bench/playback_bench" ahead 2>/dev/null | tail -1)
        h=$(sed -E 's/.*made ahead: ([0-9.]+) s.*/\1/' <<<"$line")
        c=$(sed -E 's/.*, ([0-9.]+) s after a change.*/\1/' <<<"$line")
        l=$(sed -E 's/.*: ([0-9.]+) late per 10 s/\1/' <<<"$line")
        [[ $line == *"the same bytes as"* ]] || same=NO
        e=$(/usr/bin/time -f '%e' "$build/src/cli/tovi" export "$file" -o "$out/export.gif" \
            --length 8 --fps 12 2>&1 >/dev/null | tail -1)
        cmp -s "$out/ahead.gif" "$out/export.gif" || same=NO
        hand+=("$h") change+=("$c") export+=("$e") late+=("$l")
        rh+=("$(ratio "$h" "$e")") rc+=("$(ratio "$c" "$e")")
    done
    printf '%-10s %-9s %-5s %-8s %-8s %-7s %s, %s  %s\n' "$clip" "$(stat -c %s "$out/ahead.gif")" \
        "$same" "$(printf '%s\n' "${hand[@]}" | median)" "$(printf '%s\n' "${change[@]}" | median)" \
        "$(printf '%s\n' "${export[@]}" | median)" "$(printf '%s\n' "${rh[@]}" | median)" \
        "$(printf '%s\n' "${rc[@]}" | median)" "$(printf '%s\n' "${late[@]}" | median)"
done
