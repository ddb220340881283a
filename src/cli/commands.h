#pragma once

#include <QStringList>

// Each command of `tovi` takes its own arguments (without the program and command names) and
// returns the process exit status. Errors are printed in Polish on standard error.
namespace tovi::cli {

int inspect(const QStringList& arguments);
int frame(const QStringList& arguments);
int exportGraphic(const QStringList& arguments);
int card(const QStringList& arguments);
int installCards(const QStringList& arguments);
int verifyBackup(const QStringList& arguments);
int restoreBackup(const QStringList& arguments);
int send(const QStringList& arguments);
int cards(const QStringList& arguments);
int restoreFactory(const QStringList& arguments);
int packs(const QStringList& arguments);
int eject(const QStringList& arguments);

} // namespace tovi::cli
