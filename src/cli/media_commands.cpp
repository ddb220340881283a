#include "commands.h"

namespace tovi::cli {

int inspect(const QStringList&) { return 2; }
int frame(const QStringList&) { return 2; }

} // namespace tovi::cli
