#!/usr/bin/env bash
# Builds the Debian package, unpacks it into a temporary folder and checks that what it installs
# works on its own: the programs start and find their resources there (not in the source or build
# tree), the package's fields, manual pages and completion are in place, the desktop entry and
# the software-centre description validate, and lintian finds nothing.
#   check-install.sh BUILD_DIR [CPACK]
set -euo pipefail
build=$1 cpack=${2:-cpack}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME=$work/home XDG_DATA_HOME=$work/home/data XDG_CONFIG_HOME=$work/home/config
export QT_QPA_PLATFORM=offscreen
id=io.github.tovistudio.ToviStudio
fail() { echo "$*"; exit 1; }

"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")
deb=$work/out/tovi-studio_${version}_amd64.deb
[ -f "$deb" ] || fail "no $(basename "$deb"): $(ls "$work/out")"
dpkg-deb -x "$deb" "$work/root"
prefix=$work/root/usr

for file in bin/tovi bin/tovi-studio share/tovi-studio/packs.json \
    share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
    share/icons/hicolor/scalable/apps/$id.svg share/mime/packages/$id.xml \
    share/icons/hicolor/scalable/mimetypes/application-x-tovi-pack.svg share/man/man1/tovi.1.gz \
    share/man/man1/tovi-studio.1.gz share/bash-completion/completions/tovi \
    share/doc/tovi-studio/copyright; do
    [ -e "$prefix/$file" ] || fail "not in the package: $file"
done
fields=$(dpkg-deb -f "$deb" Section Depends Recommends Maintainer)
for wanted in "Section: graphics" "fonts-inter" "qt6-translations-l10n" "qt6-image-formats-plugins" \
    "libqt6svg6" "libavcodec" "libzip4" "Recommends: udisks2, qt6-xdgdesktopportal-platformtheme, qt6-wayland" "Maintainer: The ToviStudio developers"; do
    grep -qF "$wanted" <<<"$fields" || fail "the package's fields lack \"$wanted\": $fields"
done

packs=$("$prefix/bin/tovi" packs | wc -l)
[ "$packs" -eq 10 ] || fail "tovi packs listed $packs packs"
# A pack file made and read by the installed programs is of the type the desktop entry opens.
"$prefix/bin/tovi" export-pack party -o "$work/party.tovipack" >/dev/null
"$prefix/bin/tovi" import-pack "$work/party.tovipack" | grep -q "^Zaimportowano" ||
    fail "tovi import-pack of its own export"
cp -r "$prefix/share/mime" "$work/mime"
update-mime-database "$work/mime"
grep -qx "50:application/x-tovi-pack:\*.tovipack" "$work/mime/globs2" ||
    fail "no *.tovipack in the MIME database: $(cat "$work/mime/globs2")"
grep -q "^MimeType=.*application/x-tovi-pack;" "$prefix/share/applications/$id.desktop" ||
    fail "the desktop entry does not open pack files"
# Over ssh or in a packaging script: no display, yet help and version are answered.
headless=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/tovi-studio")
"${headless[@]}" --version 2>/dev/null | grep -qx "tovi-studio [0-9.]*" ||
    fail "tovi-studio --version without a display"
"${headless[@]}" --help 2>/dev/null | grep -q "PLIK" || fail "tovi-studio --help without a display"
# Beyond the help: keys, files, finding the Tovi, environment; exit status and examples.
for wanted in "tovi-studio KLAWISZE" "tovi-studio PLIKI" 'tovi-studio "JAK ZNAJDOWANY JEST TOVI"' \
    "tovi-studio ŚRODOWISKO" 'tovi "KOD WYJŚCIA"' "tovi PLIKI" "tovi PRZYKŁADY"; do
    zcat "$prefix/share/man/man1/${wanted%% *}.1.gz" | grep -qxF ".SH ${wanted#* }" ||
        fail "man $wanted is missing"
done
# The manual page describes every command the program has.
for command in $("$prefix/bin/tovi" --help | sed -n '/^Polecenia:$/,/^$/s/^  \([a-z-]*\) .*/\1/p'); do
    zcat "$prefix/share/man/man1/tovi.1.gz" | grep -q "^\.SS \"tovi $command[ \"]" ||
        fail "man tovi lacks the command $command"
done

# The installed programs read only the installed resources: without them they say so.
mv "$prefix/share/tovi-studio/packs.json" "$prefix/share/tovi-studio/packs.json.away"
if "$prefix/bin/tovi" packs >/dev/null 2>&1; then
    fail "the installed tovi found a collection outside its prefix"
fi

desktop-file-validate "$prefix/share/applications/$id.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >/dev/null
lintian --fail-on error,warning "$deb"
echo "the package $(basename "$deb") installs a working tree"
