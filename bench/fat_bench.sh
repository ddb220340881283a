# What the benchmarks on a FAT volume share, sourced with their arguments: the build to measure
# ([BUILD_DIR], default build/release), the number of runs ([N], default 5), a work folder with
# the mount point "NO NAME" that is unmounted and removed on exit, and timing helpers.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${1:-$here/build/release}
runs=${2:-5}
tovi=$build/src/cli/tovi
work=$(mktemp -d)
mnt="$work/NO NAME"
cleanup() { fusermount -u "$mnt" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# The seconds a command takes, its output dropped.
seconds() { local t0 t1; t0=$(date +%s.%N); "$@" >/dev/null; t1=$(date +%s.%N); echo "$t1 - $t0" | bc -l; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
# The row both row benchmarks send: ten photographs and two 8 s films.
media=${TOVI_BENCH_MEDIA:-/tmp/tovi-bench}
photos=(/usr/share/backgrounds/mate/nature/*.jpg)
photos=("${photos[@]:0:10}")
row=("${photos[@]}" "$media/src_1080p.mp4" "$media/zoom-g60.mp4")
fresh() { # an empty 64 MB Tovi at $mnt
    fusermount -u "$mnt" 2>/dev/null || true
    rm -f "$work/tovi.img"
    mkfs.vfat -C -n "NO NAME" "$work/tovi.img" 65536 >/dev/null
    mkdir -p "$mnt" && fusefat -o "rw+,fsname=$work/tovi.img" "$work/tovi.img" "$mnt" >/dev/null 2>&1
    mkdir -p "$mnt"/{Photo1,Photo2,Photo3,Game1,Game2,Game3}
}
# The medians of the singles[] and rows[] runs, side by side.
compareRow() {
    local s r
    s=$(printf '%s\n' "${singles[@]}" | median)
    r=$(printf '%s\n' "${rows[@]}" | median)
    printf 'twelve single sends: median %.2f s (runs: %s)\n' "$s" "${singles[*]}"
    printf 'one row of twelve:   median %.2f s (runs: %s), %.3f × the singles\n' "$r" "${rows[*]}" \
        "$(echo "$r / $s" | bc -l)"
}
# The peak memory of a command, in kB.
peak() { /usr/bin/time -f "%M" "$@" 2>&1 >/dev/null | tail -1 || true; }
