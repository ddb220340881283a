#!/usr/bin/env bash
# Presses Tab after `tovi`: calls the completion function the way bash does and compares what it
# offers.
#   check-completion.sh DIR_WITH_TOVI COMPLETION_FILE
set -uo pipefail
export PATH=$(realpath "$1"):$PATH QT_QPA_PLATFORM=offscreen
source "$2"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/cards/tovi/Photo1" && touch "$work/cards/tovi/Photo1/"{a.gif,._a.gif} &&
    touch "$work/clip.mp4" "$work/card one.jpg" "$work/friend.tovipack" &&
    cd "$work" || exit 1
failed=0

# offers WANTED WORD…: Tab with the cursor at the end of the last word offers exactly WANTED.
offers() {
    local wanted=$1
    shift
    COMP_WORDS=("$@") COMP_CWORD=$(($# - 1)) COMPREPLY=()
    _tovi
    local got
    got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd'|')
    [ "$got" = "$wanted" ] || { echo "tovi ${*:2}⇥ offers \"$got\", not \"$wanted\""; failed=1; }
}

offers "card|cards" tovi car
offers "restore-backup|restore-factory|restore-pack" tovi restore-
offers "--animation" tovi card --a
offers "--album" tovi send clip.mp4 --al
offers "--captions" tovi card x --c
offers "$(tovi packs | cut -f1 | sort | paste -sd'|')" tovi cards --pack ""
offers "Photo1|Photo2|Photo3" tovi send clip.mp4 --album ""
offers "reveal|spin|still" tovi cards --pack party --animation ""
offers "" tovi export clip.mp4 --zoom ""
offers "card one.jpg|cards|clip.mp4|friend.tovipack" tovi inspect ""
offers "export|export-pack" tovi expo
offers "cards|friend.tovipack" tovi import-pack ""
offers "$(tovi packs | cut -f1 | sort | paste -sd'|')" tovi export-pack ""
offers "$(tovi packs | awk -F'\t' 'NF > 2 { print $1 }' | sort | paste -sd'|')" tovi delete-pack ""
offers "$(tovi restore-pack | cut -f1 | sort | paste -sd'|')" tovi restore-pack ""
offers "clip.mp4" tovi export cl
offers "cards" tovi install-cards ""
offers "cards" tovi send clip.mp4 --device c
offers "Photo1/|Photo2/|Photo3/" tovi rm --device cards/tovi ""
offers "Photo1/a.gif" tovi rm --device cards/tovi Photo1/
offers "" tovi ls --device cards/tovi ""
exit $failed
