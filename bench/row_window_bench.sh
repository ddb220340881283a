#!/usr/bin/env bash
# The window's row send (PictureRow) of ten photographs and two 8 s films to one album of a FAT
# image mounted with fusefat, against the sum of the same twelve single sends of the studio model;
# then peak memory of a single photograph's send and of a row of 50 photographs. Imports are not
# in the times. Medians of N runs.
#   bench/row_window_bench.sh [BUILD_DIR] [N]     (default build/release, 3)
# Needs the clips of ../shared/bench/make-bench-media.sh and bench/make-more-media.sh in
# /tmp/tovi-bench (TOVI_BENCH_MEDIA), and mate-backgrounds.
. "$(dirname "$0")/fat_bench.sh" "${1:-}" "${2:-3}"
bench=$build/bench/row_window_bench
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export QT_QPA_PLATFORM=offscreen
mkdir -p "$HOME"

first() { awk '{print $1}'; }

singles=() rows=()
for _ in $(seq "$runs"); do
    fresh
    out=$("$bench" "$mnt" single "${row[@]}")
    echo "singles: $out"
    singles+=("$(echo "$out" | first)")
    fresh
    out=$("$bench" "$mnt" row "${row[@]}")
    echo "row:     $out"
    rows+=("$(echo "$out" | first)")
done
compareRow

fresh
largest=0
for file in "${photos[@]}"; do
    m=$(peak "$bench" "$mnt" single "$file")
    [ "$m" -gt "$largest" ] && largest=$m
done
fifty=()
for i in $(seq 0 49); do fifty+=("${photos[i % 10]}"); done
fresh
m50=$(peak "$bench" "$mnt" row "${fifty[@]}")
printf 'peak memory: largest single photograph send %d MB, row of 50 photographs %d MB (+%d MB)\n' \
    $((largest / 1024)) $((m50 / 1024)) $(((m50 - largest) / 1024))
