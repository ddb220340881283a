#!/usr/bin/env bash
# Pack files that would unpack to 1 GiB, imported with `tovi import-pack`: each must be refused
# within 1 s and 100 MB of peak memory, whether its headers say how large it is or lie about it;
# and one of 300,000 empty entries.
# Prints wall time, peak memory and the refusal; exits 1 when a target is missed.
# Usage: bench/pack_bomb.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
tovi=$(realpath "${1:-build/release}/src/cli/tovi")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config QT_QPA_PLATFORM=offscreen

/usr/bin/python3 - "$work" <<'PY'
import json, struct, sys, zipfile
out = sys.argv[1]
mib = bytes(1 << 20)
cards = [{"title": "", "subtitle": "", "captions": False, "crop": {"zoom": 1, "x": 0, "y": 0},
          "picture": f"{n}.png"} for n in range(1, 7)]
description = json.dumps({"format": 1, "name": "Bomba", "animation": "still", "cards": cards})

def zeros(z, name, mebibytes):
    info = zipfile.ZipInfo(name, (2026, 1, 1, 0, 0, 0))
    info.compress_type = zipfile.ZIP_DEFLATED
    with z.open(info, "w") as f:
        for _ in range(mebibytes):
            f.write(mib)

def bomb(name, entries, lie=None):
    path = f"{out}/{name}.tovipack"
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED, compresslevel=9) as z:
        z.writestr("pack.json", description)
        for entry, mebibytes in entries:
            zeros(z, entry, mebibytes)
    if lie:  # both headers of the entry promise a smaller size
        entry, size = lie
        data = bytearray(open(path, "rb").read())
        for signature, name_at, size_at in ((b"PK\3\4", 30, 22), (b"PK\1\2", 46, 24)):
            at = data.find(signature)
            while data[at + name_at:at + name_at + len(entry)] != entry.encode():
                at = data.find(signature, at + 1)
            struct.pack_into("<I", data, at + size_at, size)
        open(path, "wb").write(data)

bomb("one-gib-entry", [("1.png", 1024)])
bomb("sixty-four-entries", [(f"{n}.png", 16) for n in range(1, 65 - 1)])
bomb("lying-small", [("1.png", 1024)], lie=("1.png", 1000))
# Under 64 MB and a ratio under 100 by its headers: unpacked until it passes the promise.
bomb("lying-63-mib", [("1.png", 1024)], lie=("1.png", 63 << 20))
# Not large at all, but a directory of 300,000 entries (ZIP64) costs a reader time and memory.
with zipfile.ZipFile(f"{out}/300000-entries.tovipack", "w") as z:
    for n in range(300_000):
        z.writestr(zipfile.ZipInfo(str(n), (2026, 1, 1, 0, 0, 0)), b"")
PY

missed=0
printf '%-20s %9s %7s %9s  %s\n' file "file KB" wall "peak MB" result
for file in "$work"/*.tovipack; do
    size=$(stat -c %s "$file")
    /usr/bin/time -o "$work/time" -f '%e %M' "$tovi" import-pack "$file" >"$work/said" 2>&1 &&
        { echo "$(basename "$file") was imported"; missed=1; }
    read -r wall peak < <(tail -1 "$work/time")
    printf '%-20s %9d %6ss %9d  %s\n' "$(basename "$file" .tovipack)" $((size / 1024)) "$wall" \
        $((peak / 1024)) \
        "$(grep -m1 '^tovi: ' "$work/said" | cut -c7-90)"
    awk -v wall="$wall" -v peak="$peak" 'BEGIN { exit !(wall < 1 && peak < 100 * 1024) }' ||
        missed=1
done
[ -z "$(ls -A "$XDG_DATA_HOME/ToviStudio/OwnPacks")" ] || { echo "left files behind"; missed=1; }
exit $missed
