#include "app/polish_language.h"
#include "app/resource_bundle.h"
#include "app/settings.h"
#include "app/studio_mode.h"
#include "packs/packs_model.h"
#include "shell/file_chooser.h"
#include "shell/root_view.h"
#include "shell/theme.h"
#include "studio/studio_view.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QIcon>
#include <QScreen>

int main(int argc, char* argv[]) {
    tovi::FileChooser::preferDesktopDialogs();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tovi-studio"));
    QApplication::setApplicationDisplayName(QStringLiteral("ToviStudio"));
    QApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("io.github.tovistudio.ToviStudio"));
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("io.github.tovistudio.ToviStudio"),
        QIcon(tovi::ResourceBundle::main().folder() + QStringLiteral("/app-icon.svg"))));

    tovi::PolishLanguage::install();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Zdjęcia, GIF-y i filmy na okrągły ekran Tovi; własna kostka losowanych "
                       "kart."));
    // Qt's own help option would describe itself in English.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Wyświetla tę pomoc."));
    parser.addOption(help);
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PLIK"),
                                 QStringLiteral("zdjęcie, GIF albo film do otwarcia w Grafice "
                                                "albo zestaw kart .tovipack do zaimportowania"),
                                 QStringLiteral("[PLIK]"));
    parser.process(app);
    if (parser.isSet(help))
        parser.showHelp();

    tovi::Settings settings;
    // The theme is in place before the first widget is drawn.
    tovi::Theme::apply(tovi::StudioAppearance::isDark(
        settings.string(tovi::Settings::caseColor, QStringLiteral("silver"))));

    tovi::StudioRootView window(settings);
    // The usual size, or the whole work area of a smaller screen.
    window.resize(QSize(1180, 850).boundedTo(window.screen()->availableGeometry().size()));
    window.show();
    // "Open with ToviStudio" from the file manager: a pack file joins the own packs and is shown
    // in the card screen; any other file becomes the graphic's material.
    if (!parser.positionalArguments().isEmpty()) {
        const QString file =
            QFileInfo(parser.positionalArguments().constFirst()).absoluteFilePath();
        if (file.endsWith(QStringLiteral(".tovipack"), Qt::CaseInsensitive)) {
            window.setMode(tovi::StudioMode::cards);
            window.packs().importPack(file);
        } else {
            window.studioView()->importFile(file);
        }
    }
    return QApplication::exec();
}
