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
