#!/usr/bin/env bash
# `tovi send` of ten photographs and two 8 s films to one album of a FAT image mounted with
# fusefat, as one row, against the sum of the twelve single sends; peak memory of the row against
# the largest single send, and of a row of 50 photographs. Medians of N runs.
#   bench/row_send_bench.sh [BUILD_DIR] [N]     (default build/release, 3)
# Needs the clips of ../shared/bench/make-bench-media.sh and bench/make-more-media.sh in
# /tmp/tovi-bench (TOVI_BENCH_MEDIA), and mate-backgrounds.
. "$(dirname "$0")/fat_bench.sh" "${1:-}" "${2:-3}"
export HOME=$work/home XDG_DATA_HOME=$work/home/data
mkdir -p "$HOME"

send() { "$tovi" send "$@" --device "$mnt" --album Photo1 --length 8 --fps 12; }

singles=() rows=()
for _ in $(seq "$runs"); do
    fresh
    total=0
    for file in "${row[@]}"; do
        total=$(echo "$total + $(seconds send "$file")" | bc -l)
    done
    singles+=("$total")
    fresh
    rows+=("$(seconds send "${row[@]}")")
done
compareRow

fresh
largest=0
for file in "${row[@]}"; do
    m=$(peak "$tovi" send "$file" --device "$mnt" --album Photo2 --length 8 --fps 12)
    [ "$m" -gt "$largest" ] && largest=$m
done
fresh
m12=$(peak "$tovi" send "${row[@]}" --device "$mnt" --album Photo1 --length 8 --fps 12)
fifty=()
for i in $(seq 0 49); do fifty+=("${photos[i % 10]}"); done
m50=$(peak "$tovi" send "${fifty[@]}" --device "$mnt" --album Photo3)
printf 'peak memory: largest single send %d MB, row of twelve %d MB, row of 50 photos %d MB\n' \
    $((largest / 1024)) $((m12 / 1024)) $((m50 / 1024))
