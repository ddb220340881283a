#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the installed tree works on its own:
# the programs start and find their resources there (not in the source tree), and the desktop
# entry and the software-centre description validate.
#   check-install.sh BUILD_DIR
set -euo pipefail
build=$1
prefix=$(mktemp -d)
home=$(mktemp -d)
trap 'rm -rf "$prefix" "$home"' EXIT
export XDG_DATA_HOME=$home/data XDG_CONFIG_HOME=$home/config QT_QPA_PLATFORM=offscreen
id=io.github.tovistudio.ToviStudio

cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/tovi bin/tovi-studio share/tovi-studio/packs.json \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg; do
    [ -e "$prefix/$file" ] || { echo "not installed: $file"; exit 1; }
done

packs=$("$prefix/bin/tovi" packs | wc -l)
[ "$packs" -eq 10 ] || { echo "tovi packs listed $packs packs"; exit 1; }
"$prefix/bin/tovi-studio" --version 2>/dev/null | grep -qx "tovi-studio [0-9.]*" ||
    { echo "tovi-studio --version"; exit 1; }
"$prefix/bin/tovi-studio" --help 2>/dev/null | grep -q "PLIK" || { echo "tovi-studio --help"; exit 1; }

# The installed programs read only the installed resources: without them they say so.
mv "$prefix/share/tovi-studio/packs.json" "$prefix/share/tovi-studio/packs.json.away"
if "$prefix/bin/tovi" packs >/dev/null 2>&1; then
    echo "the installed tovi found a collection outside its prefix"
    exit 1
fi

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null
echo "installed tree works from $prefix"
