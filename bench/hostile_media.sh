#!/usr/bin/env bash
# Peak memory and CPU of `tovi inspect` and an 8-s export on files made to cost a decoder much
# (bench/make-hostile-media.py). Usage: bench/hostile_media.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
tovi=${1:-build/release}/src/cli/tovi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 bench/make-hostile-media.py "$work/in"
printf '%-32s %-8s %8s %8s %9s  %s\n' file command wall cpu "peak MB" result
for file in "$work"/in/*; do
    for command in inspect export; do
        args=(inspect "$file")
        [ "$command" = export ] && args=(export "$file" -o "$work/out.gif" --length 8 --fps 12)
        status=ok
        /usr/bin/time -o "$work/time" -f '%e %U %M' "$tovi" "${args[@]}" >"$work/said" 2>&1 ||
            status="refused: $(tail -1 "$work/said" | sed 's/^.*\t//; s/^tovi: //' | cut -c1-34)…"
        read -r wall cpu peak < <(tail -1 "$work/time")
        printf '%-32s %-8s %7ss %7ss %9d  %s\n' "$(basename "$file")" "$command" "$wall" "$cpu" \
            $((peak / 1024)) "$status"
    done
done
