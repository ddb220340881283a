#include "polish_language.h"
#include "app/polish_format.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace tovi::PolishLanguage {

bool install() {
    const QLocale& polish = PolishFormat::locale();
    QLocale::setDefault(polish);
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(polish, QStringLiteral("qtbase"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}

} // namespace tovi::PolishLanguage
