#!/usr/bin/env bash
# Installs every Debian package that building, testing and running ToviStudio needs.
# Safe to run again: it installs only what is missing.
set -euo pipefail

packages=(
    # build
    g++ cmake ninja-build ccache pkg-config git
    # Qt 6 (Core, Gui, Widgets, Svg, Concurrent, DBus, Test) and the image-format plugins (WebP, TIFF…)
    qt6-base-dev qt6-svg-dev libqt6svg6 qt6-image-formats-plugins libgl-dev libxkbcommon-dev
    # Qt's own texts (file dialog, text field menus) in Polish; the desktop's own file dialogs
    qt6-translations-l10n qt6-xdgdesktopportal-platformtheme
    # media
    libheif-dev libgif-dev libimagequant-dev
    libavformat-dev libavcodec-dev libavutil-dev libswscale-dev
    # pack files (.tovipack) are ZIP archives; the tests read archives as zip, 7-Zip and Python write them
    libzip-dev zip p7zip-full
    # caption font; colour emoji as drawing material for the card artwork generator
    fonts-inter fonts-noto-color-emoji
    # tests and benchmarks
    libgtest-dev libgmock-dev libbenchmark-dev
    ffmpeg imagemagick mate-backgrounds python3-pil python3-numpy
    xvfb xauth time
    # the real window on real desktops: openbox with a tint2 panel read through AT-SPI (xdotool
    # and xprop move it and read its frame), and weston with Qt's Wayland plugin
    openbox tint2 xdotool x11-utils at-spi2-core python3-pyatspi weston qt6-wayland
    # what crosses into the uninstrumented media libraries is checked by memcheck
    valgrind
    # the desktop entry, the software-centre description and the pack file type are validated
    desktop-file-utils appstream shared-mime-info
    # the Debian package: CPack finds programs with file, dependencies with dpkg-shlibdeps;
    # lintian checks the result
    file dpkg-dev lintian
    # device tests: FAT disk images mounted through FUSE; a folder that stops answering (bindfs)
    dosfstools fusefat fuse3 bindfs
    # eject tests: a private dbus-daemon serving a fake UDisks2
    dbus
    # the fuzz preset: clang, its sanitizer runtimes with libFuzzer, llvm-symbolizer for stacks
    clang libclang-rt-14-dev llvm
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
