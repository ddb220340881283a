#include "commands.h"

#include <QTextStream>

namespace tovi::cli {

static int notYet() {
    QTextStream(stderr) << "tovi: to polecenie nie jest jeszcze dostępne.\n";
    return 2;
}

int installCards(const QStringList&) { return notYet(); }
int verifyBackup(const QStringList&) { return notYet(); }
int restoreBackup(const QStringList&) { return notYet(); }

} // namespace tovi::cli
