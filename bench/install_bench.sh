#!/usr/bin/env bash
# A six-card installation on a FAT image mounted with fusefat against the floor of the same
# writes: copying the six old cards into a local backup folder and the six new ones onto the
# volume with cp, then sync. Medians of N runs; the installation is timed in process
# (install_bench) and, start-up included, as `tovi install-cards`.
#   bench/install_bench.sh [BUILD_DIR] [N]     (default build/release, 5)
. "$(dirname "$0")/fat_bench.sh"

"$tovi" cards --pack listening --out "$work/old" >/dev/null
"$tovi" cards --pack morning --out "$work/new" >/dev/null

fresh() { # a 64 MB volume laid out like the Tovi, Game1 holding the old set
    fusermount -u "$mnt" 2>/dev/null || true
    rm -f "$work/tovi.img"
    mkfs.vfat -C -n "NO NAME" "$work/tovi.img" 65536 >/dev/null
    mkdir -p "$mnt"
    fusefat -o "rw+,fsname=$work/tovi.img" "$work/tovi.img" "$mnt"
    mkdir -p "$mnt"/{Photo1,Photo2,Photo3,Game1,Game2,Game3}
    cp "$work"/old/*.gif "$mnt/Game1/"
    sync
    rm -rf "$work/backups" "$work/copy"
}
floorCopy() {
    mkdir -p "$work/copy"
    cp "$mnt"/Game1/*.gif "$work/copy/"
    rm "$mnt"/Game1/*.gif # fusefat cannot truncate a file that cp would overwrite
    cp "$work"/new/*.gif "$mnt/Game1/"
    sync
}

floor=() ours=()
for _ in $(seq "$runs"); do
    fresh
    floor+=("$(seconds floorCopy)")
    fresh
    ours+=("$(seconds "$tovi" install-cards "$work/new" --device "$mnt" --backups "$work/backups")")
done
fresh
inprocess=$(TOVI_INSTALL_DEVICE=$mnt TOVI_INSTALL_OLD=$work/old TOVI_INSTALL_NEW=$work/new \
    "$build/bench/install_bench" "$((2 * runs + 1))" | tail -1)
echo "$inprocess"
f=$(printf '%s\n' "${floor[@]}" | median)
o=$(printf '%s\n' "${ours[@]}" | median)
printf 'floor (cp + sync of the six cards and the backup): median %.3f s of: %s\n' "$f" "${floor[*]}"
printf 'tovi install-cards, start-up included:             median %.3f s of: %s\n' "$o" "${ours[*]}"
i=$(echo "$inprocess" | sed -E 's/.*median ([0-9.]+) ms.*/\1/')
echo "installation (in process) ÷ floor: $(awk -v a="$i" -v b="$f" 'BEGIN {printf "%.2f", a / 1000 / b}') ×"
