#include "app/polish_language.h"
#include "app/resource_bundle.h"
#include "app/settings.h"
#include "shell/file_chooser.h"
#include "shell/theme.h"
#include "window/root_view.h"
#include "window/window_placement.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>

namespace {

void describe() {
    QCoreApplication::setApplicationName(QStringLiteral("tovi-studio"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TOVI_VERSION));
    tovi::PolishLanguage::install();
}

// The command line: the file to open. Help, the version and a mistake are answered here, before
// anything needs a display, so they work over ssh and in packaging scripts too.
QStringList filesToOpen(int argc, char* argv[]) {
    const QCoreApplication textOnly(argc, argv);
    describe();
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
                                 QStringLiteral("zdjęcia, GIF-y albo filmy do otwarcia w Grafice "
                                                "(kilka: rząd do wysłania razem) albo zestaw "
                                                "kart .tovipack do zaimportowania"),
                                 QStringLiteral("[PLIK…]"));
    parser.process(textOnly);
    if (parser.isSet(help))
        parser.showHelp();
    return parser.positionalArguments();
}

} // namespace

int main(int argc, char* argv[]) {
    const QStringList files = filesToOpen(argc, argv);

    tovi::FileChooser::preferDesktopDialogs();
    QApplication app(argc, argv);
    describe();
    QApplication::setApplicationDisplayName(QStringLiteral("ToviStudio"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.tovistudio.ToviStudio"));
    QApplication::setWindowIcon(QIcon::fromTheme(
        QStringLiteral("io.github.tovistudio.ToviStudio"),
        QIcon(tovi::ResourceBundle::main().folder() + QStringLiteral("/app-icon.svg"))));

    tovi::Settings settings;
    // The theme is in place before the first widget is drawn.
    tovi::Theme::apply(tovi::StudioAppearance::isDark(
        settings.string(tovi::Settings::caseColor, QStringLiteral("silver"))));

    tovi::StudioRootView window(settings);
    tovi::WindowPlacement::manage(&window, settings);
    window.show();
    // "Open with ToviStudio" from the file manager: a pack file joins the own packs and is shown
    // in the card screen; other files become the graphic's material, several of them a row.
    window.openFiles(files);
    return QApplication::exec();
}
