#!/usr/bin/env bash
# `tovi ls` of an album of 200 pictures on a FAT image mounted with fusefat, start-up included,
# against the floor of reading the same bytes with cat. Two albums: 200 animated cards
# (~140 kB) and 200 of the largest GIF an export makes (96 frames, ~2 MB). Each run remounts
# the volume, so that the FUSE driver starts cold. Medians of N runs. "Na Tovi" is timed the same
# way: from opening to every picture listed, and to every thumbnail of the album decoded.
#   bench/contents_bench.sh [BUILD_DIR] [N]     (default build/release, 5)
. "$(dirname "$0")/fat_bench.sh"

"$tovi" cards --pack listening --out "$work/cards" >/dev/null
photo=/usr/share/backgrounds/mate/nature/LadyBird.jpg # mate-backgrounds
"$tovi" export "$photo" -o "$work/large.gif" --rotate --turn 8 >/dev/null

mount() { mkdir -p "$mnt" && fusefat -o "rw+,fsname=$work/tovi.img" "$work/tovi.img" "$mnt" >/dev/null 2>&1; }
remount() { fusermount -u "$mnt" && mount; }
measure() { # WHAT FILE…: a fresh volume whose Photo1 holds 200 pictures, cycling through FILE…
    local what=$1 floor=() ours=() listed=() shown=() i
    shift
    fusermount -u "$mnt" 2>/dev/null || true
    rm -f "$work/tovi.img"
    mkfs.vfat -C -n "NO NAME" "$work/tovi.img" 524288 >/dev/null
    mount
    mkdir -p "$mnt"/{Photo1,Photo2,Photo3,Game1,Game2,Game3}
    for i in $(seq 0 199); do
        local files=("$@")
        cp "${files[i % $#]}" "$mnt/Photo1/tovi-$i.gif"
    done
    sync
    for _ in $(seq "$runs"); do
        remount
        floor+=("$(seconds sh -c 'cat "$1"/* >/dev/null' - "$mnt/Photo1")")
        remount
        ours+=("$(seconds "$tovi" ls --device "$mnt")")
        remount
        read -r list all < <(QT_QPA_PLATFORM=offscreen TOVI_CONTENTS_DEVICE="$mnt" \
            "$build/bench/contents_view_bench" 2>/dev/null)
        listed+=("$list") shown+=("$all")
    done
    printf '200 %s (%s): cat median %.3f s, tovi ls median %.3f s (runs: %s)\n' "$what" \
        "$(du -sh "$mnt/Photo1" | cut -f1)" "$(printf '%s\n' "${floor[@]}" | median)" \
        "$(printf '%s\n' "${ours[@]}" | median)" "${ours[*]}"
    printf '  "Na Tovi": listed median %.3f s, every thumbnail decoded median %.3f s\n' \
        "$(printf '%s\n' "${listed[@]}" | median)" "$(printf '%s\n' "${shown[@]}" | median)"
}
measure cards "$work"/cards/*.gif
measure "largest exports" "$work/large.gif"
