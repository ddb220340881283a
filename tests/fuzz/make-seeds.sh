#!/usr/bin/env bash
# Writes the seed corpora of the fuzz targets. Run once; the results are committed. Every seed
# stays a few KB: libFuzzer mutates small inputs much faster.
# Needs: imagemagick, ffmpeg, python3-pil.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
fixtures="$here/../fixtures"
media="$here/corpus/fuzz_media_open"
export_="$here/corpus/fuzz_export"
json="$here/corpus/fuzz_stored_json"
pack="$here/corpus/fuzz_pack_file"
card="$here/corpus/fuzz_card_check"
rm -rf "$media" "$export_" "$json" "$pack" "$card"
mkdir -p "$media" "$export_" "$json" "$pack" "$card"

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }

# --- media ---------------------------------------------------------------------------------------
# GIF: three frames with a transparent colour, every disposal method, a frame smaller than the
# screen at an offset, and local palettes; then one interlaced still.
convert -loop 0 -delay 7 -dispose None -size 12x10 xc:red \
    -dispose Previous -page 12x10+3+2 -size 6x4 xc:lime \
    -dispose Background -page 12x10+0+0 \
    \( -size 12x10 xc:none -fill blue -draw 'rectangle 0,0 5,9' \) \
    "$media/disposal.gif"
convert -size 16x9 gradient:yellow-purple -interlace GIF "$media/interlaced.gif"
convert -size 16x8 xc:none -fill '#20a0ff80' -draw 'circle 8,4 8,1' \
    -define png:exclude-chunks=date,time "$media/alpha.png"
# A JPEG whose EXIF orientation (6) turns it upright, taller than wide.
/usr/bin/python3 - "$media/oriented.jpg" <<'PY'
import sys
from PIL import Image
exif = Image.Exif()
exif[0x0112] = 6
Image.linear_gradient("L").resize((24, 12)).convert("RGB").save(sys.argv[1], quality=70, exif=exif)
PY
convert -size 10x6 xc:orange -type TrueColor "$media/still.bmp"
convert -size 10x6 xc:teal -compress None "$media/still.tiff"
cp "$fixtures/image/anim.png" "$fixtures/image/anim.webp" "$fixtures/image/photo.heic" \
   "$fixtures/image/truncated.jpg" "$fixtures/image/broken.png" "$fixtures/image/notes.mov" \
   "$media/"
# Video: H.264 in MP4 (plain and turned by its display matrix), PNG frames with alpha in MOV,
# VP8 in WebM and MPEG-4 Visual in AVI.
cp "$fixtures/video/short.mp4" "$media/short.mp4"
cp "$fixtures/video/rotated.mp4" "$media/rotated.mp4"
cp "$fixtures/video/alpha.mov" "$media/alpha.mov"
ff -f lavfi -i "testsrc=s=16x16:r=4:d=0.75" -c:v libvpx -b:v 20k -fflags +bitexact "$media/tiny.webm"
ff -f lavfi -i "testsrc=s=16x16:r=4:d=0.5" -c:v mpeg4 -q:v 20 "$media/tiny.avi"

# Files of the outside GIF suite that reach the reader's odd corners: no data after an empty
# image, codes up to a full table without a clear, a code size past 8.
suite="$fixtures/gif-test-suite"
cp "$suite/image-zero-size.gif" "$suite/max-codes.gif" "$suite/4095-codes-clear.gif" \
   "$suite/animation-multi-image.gif" "$suite/dispose-restore-previous.gif" "$media/"

# --- card check: whole 240 × 240 cards, one with a repeated frame, one interlaced -----------------
convert -size 240x240 gradient:red-blue "$card/still.gif"
convert -loop 0 -delay 2 -size 240x240 xc:teal xc:teal xc:orange "$card/repeated.gif"
convert -size 240x240 xc:white -fill black -draw 'circle 120,120 120,40' -interlace GIF \
    "$card/interlaced.gif"

# --- export -------------------------------------------------------------------------------------
# The first byte picks JPEG (0), sampled GIF (1) or captioned turn (2); 3…5 also crop a corner,
# and the top bit turns anticlockwise.
seed() { { printf "\\x$1"; cat "$2"; } > "$export_/$3"; }
seed 00 "$media/oriented.jpg" jpeg-oriented
seed 03 "$media/alpha.png" jpeg-corner-alpha
seed 00 "$media/short.mp4" jpeg-video
seed 01 "$media/disposal.gif" gif-disposal
seed 04 "$media/anim.webp" gif-corner-webp
seed 01 "$media/tiny.webm" gif-webm
seed 02 "$media/photo.heic" turn-heic
seed 05 "$media/rotated.mp4" turn-corner-rotated
seed 82 "$media/anim.png" turn-anticlockwise-apng

# --- stored JSON: the first byte picks the reader -----------------------------------------------
python3 - "$json" <<'PY'
import json, sys
out = sys.argv[1]

def write(name, selector, text):
    with open(f"{out}/{name}", "wb") as f:
        f.write(bytes([selector]) + text.encode())

compact = lambda value: json.dumps(value, ensure_ascii=False, separators=(",", ":"))
sha = "9f86d081884c7d659a2feaa0c55ad015a3bf4f1b2b0b822cd15d6c15b0f00a08"
write("manifest", 0, compact({
    "created": 796176000.25,
    "source": "file:///media/ola/NO NAME/Game1",
    "files": {"1.gif": {"bytes": 67415, "sha256": sha}, ".hidden": {"bytes": 0, "sha256": sha}},
}).replace("/", "\\/"))
edit = {"title": "Tak", "subtitle": "Śmiało", "captions": True,
        "crop": {"zoom": 1.5, "x": -0.25, "y": 1}}
write("edits", 1, compact({
    "listening/0": edit,
    "focus/5": dict(edit, captions=False, customImage="card-7F3A.jpg"),
}))
write("edit", 2, compact(dict(edit, customImage=None)))
pack = {"id": "listening", "name": "Jak słuchać", "description": "Sześć sposobów",
        "cards": [["Całym sobą", "Słuchawki"], ["W tle", "Niech gra"], ["Na powtórce", ""],
                  ["A", "B"], ["Głośniej!", "Podkręć"], ["Chwila ciszy", "Cisza", "więcej"]],
        "artDirection": "Ciemne tło", "styleNote": "Łuki fal",
        "meanings": ["1", "2", "3", "4", "5", "6"]}
write("pack", 3, compact(pack))
write("packs", 4, compact([dict(pack, id=f"p{n}") for n in range(10)]))
write("crop", 5, compact({"zoom": 3, "x": -1, "y": 0.5}))
bookmark = {"path": "/media/ola/NO NAME", "device": "2065", "inode": "1",
            "volume": "fat:1234-ABCD", "relative": "/", "keepsInodes": False}
write("bookmark-fat", 6, "tovi-bookmark/1\n" + compact(bookmark))
write("bookmark-root", 6, "tovi-bookmark/1\n" + compact(
    {"path": "/", "device": "0", "inode": "2", "volume": "", "relative": "/",
     "keepsInodes": True}))
PY

# --- pack files: a good pack, one whose cards share a picture, and one of each hostile kind ----
/usr/bin/python3 - "$pack" <<'PY'
import io, json, struct, sys, zipfile
from PIL import Image
out = sys.argv[1]

def png(colour):
    data = io.BytesIO()
    Image.new("RGB", (4, 3), colour).save(data, "PNG")
    return data.getvalue()

def description(pictures, **changes):
    cards = [{"title": f"Karta {n}", "subtitle": "Podpis", "captions": n % 2 == 0,
              "crop": {"zoom": 1.5, "x": -0.5, "y": 1}, "picture": picture}
             for n, picture in enumerate(pictures, 1)]
    return json.dumps(dict({"format": 1, "name": "Od Oli", "animation": "spin", "cards": cards},
                           **changes), ensure_ascii=False, separators=(",", ":"))

six = [f"{n}.png" for n in range(1, 7)]
colours = ["red", "orange", "yellow", "green", "blue", "purple"]

def pack(name, text=None, pictures=six, extra=(), skip=()):
    with zipfile.ZipFile(f"{out}/{name}", "w") as z:
        z.writestr(zipfile.ZipInfo("pack.json", (2026, 1, 1, 0, 0, 0)),
                   text or description(pictures), zipfile.ZIP_DEFLATED)
        for picture, colour in zip(dict.fromkeys(pictures), colours):
            if picture not in skip:
                z.writestr(zipfile.ZipInfo(picture, (2026, 1, 1, 0, 0, 0)), png(colour))
        for info, data in extra:
            z.writestr(info, data)

def entry(name, mode=0o100644):
    info = zipfile.ZipInfo(name, (2026, 1, 1, 0, 0, 0))
    info.create_system = 3
    info.external_attr = mode << 16
    return info

pack("good.tovipack")
pack("shared-picture.tovipack", pictures=["a.png"] * 6, extra=[(entry("notes/"), b"")])
pack("parent-folder.tovipack", extra=[(entry("../escape.png"), png("red"))])
pack("link.tovipack", extra=[(entry("7.png", 0o120777), b"/etc/passwd")])
pack("newer-format.tovipack", text=description(six, format=2))
pack("missing-picture.tovipack", skip={"6.png"})
pack("five-cards.tovipack", text=description(six[:5]))
# The local and central headers of pack.json promise fewer bytes than it holds.
pack("lying-size.tovipack", text=description(six) + " " * 4096)
data = bytearray(open(f"{out}/lying-size.tovipack", "rb").read())
for signature, name_at, size_at in ((b"PK\3\4", 30, 22), (b"PK\1\2", 46, 24)):
    at = data.find(signature)
    while data[at + name_at:at + name_at + 9] != b"pack.json":
        at = data.find(signature, at + 1)
    struct.pack_into("<I", data, at + size_at, 100)
open(f"{out}/lying-size.tovipack", "wb").write(data)
PY
