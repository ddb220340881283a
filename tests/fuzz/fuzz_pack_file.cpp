// A pack file from anyone, read as an import reads it. Nothing may land outside the folder it is
// unpacked into, and whatever is accepted must be a pack that is written and read back the same.

#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "fuzz_support.h"
#include "packs/pack_file.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <cstdint>

namespace {

void check(bool promise) {
    if (!promise)
        __builtin_trap();
}

QString freshFolder(const QString& name) {
    const QString folder = tovi::fuzz::scratchFolder() + u'/' + name;
    QDir(folder).removeRecursively();
    check(QDir().mkpath(folder));
    return folder;
}

QSet<QString> scratchNames() {
    const QStringList names =
        QDir(tovi::fuzz::scratchFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    return {names.begin(), names.end()};
}

void roundTrip(const tovi::PackContent& content) {
    for (const QString& picture : content.pictures)
        check(QFileInfo(picture).isFile());
    const QString again = tovi::fuzz::scratchFolder() + QStringLiteral("/again.tovipack");
    tovi::PackFile::write(content, again);
    const tovi::PackContent read =
        tovi::PackFile::read(again, freshFolder(QStringLiteral("again")));
    check(read.name == content.name && read.animation == content.animation &&
          read.cards == content.cards);
    for (size_t slot = 0; slot < read.pictures.size(); ++slot)
        check(tovi::readFile(read.pictures[slot]) == tovi::readFile(content.pictures[slot]));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    tovi::fuzz::ensureApplication();
    const QString file = tovi::fuzz::writeScratch(
        QStringLiteral("input.tovipack"),
        QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)));
    const QString folder = freshFolder(QStringLiteral("unpacked"));
    const QSet<QString> before = scratchNames();
    try {
        roundTrip(tovi::PackFile::read(file, folder));
    } catch (const tovi::ToviError&) {
    }
    const QSet<QString> after = scratchNames();
    check(
        (after - before - QSet<QString>{QStringLiteral("again"), QStringLiteral("again.tovipack")})
            .isEmpty());
    return 0;
}
