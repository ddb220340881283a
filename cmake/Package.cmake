# The Debian package: `cpack -G DEB` over the install tree (see packaging/ and README).

set(tovi_maintainer "The ToviStudio developers <tovistudio@users.noreply.github.com>")
set(tovi_doc ${CMAKE_INSTALL_DATADIR}/doc/tovi-studio)

# Manual pages from the programs' own help, built with them.
foreach(program tovi tovi-studio)
    set(page ${PROJECT_BINARY_DIR}/man/${program}.1)
    if(program STREQUAL "tovi")
        set(summary "wiersz poleceń ToviStudio: grafiki, karty i kopie dla Tovi")
        set(see_also "tovi-studio(1)")
    else()
        set(summary "zdjęcia, GIF-y i filmy na okrągły ekran Tovi, własna kostka kart")
        set(see_also "tovi(1)")
    endif()
    add_custom_command(OUTPUT ${page} ${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
        COMMAND bash ${PROJECT_SOURCE_DIR}/packaging/make-manpage.sh $<TARGET_FILE:${program}>
                ${PROJECT_VERSION} ${summary} ${see_also} ${page}
        DEPENDS ${program} ${PROJECT_SOURCE_DIR}/packaging/make-manpage.sh
                ${PROJECT_SOURCE_DIR}/packaging/${program}.sections VERBATIM)
    list(APPEND tovi_man_pages ${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${tovi_man_pages})
install(FILES ${tovi_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

install(FILES packaging/tovi.bash-completion DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME tovi)

# Debian wants the licence and the changelog beside every package, the changelog compressed.
set(tovi_changelog ${PROJECT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${tovi_changelog}
    COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${tovi_changelog}
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/changelog)
add_custom_target(changelog ALL DEPENDS ${tovi_changelog})
install(FILES packaging/copyright ${tovi_changelog} DESTINATION ${tovi_doc})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovi-studio)
set(CPACK_PACKAGE_VENDOR "The ToviStudio developers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${tovi_maintainer})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/tovistudio/tovistudio)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the SVG and image-format plugins, Qt's
# Polish texts and the caption font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libqt6svg6, qt6-image-formats-plugins, qt6-translations-l10n, fonts-inter")
# Ejecting the Tovi from the window or with `tovi eject` goes through UDisks2; the desktop's own
# file dialogs come through the XDG desktop portal's platform theme (Qt's dialog without it); a
# Wayland session gets a native window through Qt's Wayland plugin (XWayland without it).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, qt6-xdgdesktopportal-platformtheme, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[pictures for the round screen of the Tovi audio player
ToviStudio turns a photo, a GIF or a fragment of a film into the 240 x 240
picture the Tovi pocket audio player shows on its round screen, and adds it
to one of the device's albums with a verified write. It also edits the six
cards of the device's dice from ten starter packs and installs them with a
backup of the previous set. The command line tool tovi does the same from a
terminal.

ToviStudio zamienia zdjęcie, GIF albo fragment filmu w obraz 240 x 240, który
kieszonkowy odtwarzacz Tovi wyświetla na okrągłym ekranie, i dodaje go do
jednego z albumów urządzenia ze sprawdzonym zapisem. Edytuje też sześć kart
losowanej kostki z dziesięciu gotowych zestawów i wgrywa je z kopią
poprzedniego zestawu. Program tovi robi to samo z wiersza poleceń.]=])
include(CPack)
