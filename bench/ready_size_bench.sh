#!/usr/bin/env bash
# The GIF made ahead of the send, in the studio model, for the benchmark clip and the five of
# make-more-media.sh: its bytes against the export's (byte for byte), the time from the settings
# resting to the size against exporting the same 8 s at 12 fps alone, and the playing preview's
# late frames meanwhile.
#   bench/ready_size_bench.sh [BUILD_DIR]     (default build/release)
# Needs the clips: make-bench-media.sh and bench/make-more-media.sh into /tmp/tovi-bench.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
export TOVI_BENCH_MEDIA=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
for clip in src_1080p zoom-g60 zoom-g250 screen cartoon night; do
    [ -s "$TOVI_BENCH_MEDIA/$clip.mp4" ] || { echo "missing $clip.mp4"; exit 1; }
    printf '%-10s ' "$clip"
    TOVI_BENCH_CLIP=$clip.mp4 "$build/bench/playback_bench" ahead 2>/dev/null | tail -1
done
