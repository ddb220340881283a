#!/usr/bin/env bash
# Videos of the sizes and pixel formats phones and encoders really write, inspected and exported
# under valgrind and natively in guard mode (TOVI_GUARD_BUFFERS=1: every buffer we hand
# libswscale ends at an inaccessible page). libswscale writes whole 16-pixel blocks, so a buffer
# only as wide as the picture is overrun, and no sanitizer sees inside the uninstrumented library.
# valgrind cannot run everywhere: 3.19 stops with SIGILL in libhwy's start-up (FFmpeg → libjxl)
# on CPUs whose cpuid hides rdtscp. A run killed by a signal before tovi's main said anything is
# neither a pass nor a memory error: it is told, and the guard mode checks alone.
# Usage: small-videos.sh TOVI   (VALGRIND replaces the valgrind command)
set -euo pipefail
tovi=$1
read -ra valgrind <<<"${VALGRIND:-valgrind}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "memcheck: $*" >&2
    exit 1
}
mode="under valgrind"
run=("${valgrind[@]}" -q --error-exitcode=99 --exit-on-first-error=yes)
check() { # ARGS…: tovi ARGS under $run; a failure says why
    local status=0
    "${run[@]}" "$tovi" "$@" >/dev/null || status=$?
    ((status == 99)) && fail "valgrind found an invalid access in tovi $*"
    ((status > 128)) && fail "tovi $* ($mode) was killed by signal $((status - 128))"
    ((status == 0)) || fail "tovi $* ($mode) ended with status $status"
}

# tovi --version prints from main: a run that dies by a signal without a word never reached it.
cannot_run=""
status=0
said=$("${valgrind[@]}" -q "$tovi" --version 2>/dev/null) || status=$?
if ((status == 127)); then
    cannot_run="it is not installed"
elif ((status > 128)) && [[ -z $said ]]; then
    cannot_run="killed by signal $((status - 128)) before tovi's main"
else
    check --version
fi

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
# A phone clip turned by its display matrix, which ffmpeg writes only when copying a stream.
clip upright.mp4 568x320 yuv420p -c:v libx264
ff -i "$work/upright.mp4" -c copy -metadata:s:v:0 rotate=90 "$work/rotated.mp4"
rm "$work/upright.mp4"

checks() {
    check inspect "$work"/*.mp4 "$work"/*.mkv
    # The export crops from the planes where it can and converts whole pictures elsewhere.
    for name in tiny.mp4 portrait.mp4 deep.mkv alpha.mkv rotated.mp4; do
        check export "$work/$name" -o "$work/$name.gif" --length 0.5 --fps 4
    done
    passed+="${passed:+ and }$mode"
}
passed=""
[[ -n $cannot_run ]] || checks
mode="in guard mode"
run=(env TOVI_GUARD_BUFFERS=1)
checks
echo "memcheck: 9 videos inspected and 5 exported $passed, no invalid access" \
    "${cannot_run:+(valgrind cannot run here: $cannot_run)}"
