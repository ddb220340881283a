#pragma once

#include "command_line.h"

// Each command of `tovi` adds its options to `line`, parses it and returns the process exit
// status. Errors are printed in Polish on standard error.
namespace tovi::cli {

int inspect(CommandLine& line);
int frame(CommandLine& line);
int exportGraphic(CommandLine& line);
int card(CommandLine& line);
int installCards(CommandLine& line);
int verifyBackup(CommandLine& line);
int restoreBackup(CommandLine& line);
int send(CommandLine& line);
int cards(CommandLine& line);
int restoreFactory(CommandLine& line);
int packs(CommandLine& line);
int savePack(CommandLine& line);
int importPack(CommandLine& line);
int exportPack(CommandLine& line);
int renamePack(CommandLine& line);
int deletePack(CommandLine& line);
int restorePack(CommandLine& line);
int eject(CommandLine& line);
int ls(CommandLine& line);
int rm(CommandLine& line);
int backups(CommandLine& line);

} // namespace tovi::cli
