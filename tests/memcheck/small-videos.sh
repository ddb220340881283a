#!/usr/bin/env bash
# Videos of the sizes and pixel formats phones and encoders really write, inspected and exported
# under valgrind: libswscale writes whole 16-pixel blocks, so a buffer we hand it that is only as
# wide as the picture is overrun, and only memcheck sees that inside the uninstrumented library.
# Usage: small-videos.sh TOVI
set -euo pipefail
tovi=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }
clip() { # NAME SIZE PIXFMT CODEC…
    local name=$1 size=$2 format=$3
    shift 3
    ff -f lavfi -i "testsrc2=s=$size:r=4,format=$format" -frames:v 2 "$@" "$work/$name"
}
clip tiny.mp4 2x2 yuv420p -c:v libx264
clip square.mp4 200x200 yuv420p -c:v libx264
clip portrait.mp4 360x640 yuv420p -c:v libx264
clip full-range.mp4 540x960 yuvj420p -c:v libx264
clip wide422.mp4 424x240 yuv422p -c:v libx264
clip deep.mkv 856x480 yuv420p10le -c:v ffv1
clip alpha.mkv 360x360 yuva420p -c:v ffv1
clip odd.mkv 13x7 yuv420p -c:v ffv1

check() { valgrind -q --error-exitcode=99 --exit-on-first-error=yes "$tovi" "$@" >/dev/null; }
check inspect "$work"/*
# The export crops from the planes where it can and converts whole pictures elsewhere.
for name in tiny.mp4 portrait.mp4 deep.mkv alpha.mkv; do
    check export "$work/$name" -o "$work/$name.gif" --length 0.5 --fps 4
done
echo "memcheck: 8 videos inspected, 4 exported, no invalid access"
