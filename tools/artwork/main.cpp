// tovi-artwork: draws the starter packs' card pictures, the device pictures, the tutorial
// animations and the factory dice into the resource folder, checks that the committed files are
// still what it draws, and renders a contact sheet of the whole collection for review.
#include "animations.h"
#include "card_art.h"
#include "contact_sheet.h"
#include "device_svg.h"

#include "app/resource_bundle.h"
#include "app/tovi_error.h"
#include "packs/starter_pack.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QSaveFile>
#include <cstdio>
#include <exception>
#include <map>

namespace {

using namespace tovi;
using namespace tovi::artwork;

constexpr int jpegQuality = 88;

QByteArray jpeg(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpg");
    writer.setQuality(jpegQuality);
    writer.setOptimizedWrite(true);
    if (!writer.write(image))
        throw std::runtime_error("JPEG encoding failed: " + writer.errorString().toStdString());
    return bytes;
}

// Every generated file by name, in a stable order.
std::map<QString, QByteArray> generate() {
    std::map<QString, QByteArray> files;
    for (const QString& id : packIds())
        for (int slot = 0; slot < 6; ++slot)
            files[QStringLiteral("pack-%1-%2.jpg").arg(id).arg(slot + 1)] = jpeg(cardArt(id, slot));
    files[QStringLiteral("tovi-silver.svg")] = deviceSvg(CaseColour::silver);
    files[QStringLiteral("tovi-black.svg")] = deviceSvg(CaseColour::black);
    // The user's example zooms into a card picture as it was saved, like any photo.
    files.merge(
        animationFiles(QImage::fromData(files.at(QStringLiteral("pack-roadtrip-2.jpg")), "jpg")));
    return files;
}

// The collection file and the drawings must name the same packs in the same order.
bool sameIdsAsCollection(const ResourceBundle& bundle) {
    QStringList collection;
    for (const StarterPack& pack : StarterPack::load(bundle))
        collection << pack.id;
    if (collection == packIds())
        return true;
    std::fprintf(stderr, "packs.json has packs %s, the generator draws %s\n",
                 qPrintable(collection.join(QLatin1Char(' '))),
                 qPrintable(packIds().join(QLatin1Char(' '))));
    return false;
}

int write(const QDir& folder) {
    for (const auto& [name, bytes] : generate()) {
        QSaveFile file(folder.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() ||
            !file.commit()) {
            std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(file.fileName()),
                         qPrintable(file.errorString()));
            return 1;
        }
        std::printf("%7lld  %s\n", static_cast<long long>(bytes.size()), qPrintable(name));
    }
    return 0;
}

int verify(const QDir& folder) {
    int differing = 0;
    for (const auto& [name, bytes] : generate()) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly) || file.readAll() != bytes) {
            std::fprintf(stderr, "%s differs from what tovi-artwork draws; rerun it and commit\n",
                         qPrintable(file.fileName()));
            ++differing;
        }
    }
    return differing == 0 ? 0 : 1;
}

int usage() {
    std::fprintf(stderr,
                 "usage: tovi-artwork [--resources DIR]                 write the pictures\n"
                 "       tovi-artwork --verify [--resources DIR]        compare with the folder\n"
                 "       tovi-artwork --contact-sheet OUT.png [--resources DIR]\n"
                 "DIR defaults to the source tree's resources/ folder.\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    QString folder = QStringLiteral(TOVI_SOURCE_RESOURCES);
    QString sheet;
    bool verifying = false;
    while (!args.isEmpty()) {
        const QString arg = args.takeFirst();
        if (arg == QLatin1String("--resources") && !args.isEmpty())
            folder = args.takeFirst();
        else if (arg == QLatin1String("--contact-sheet") && !args.isEmpty())
            sheet = args.takeFirst();
        else if (arg == QLatin1String("--verify"))
            verifying = true;
        else
            return usage();
    }

    try {
        const ResourceBundle bundle(folder);
        if (!sheet.isEmpty()) {
            if (!contactSheet(bundle).save(sheet, "png")) {
                std::fprintf(stderr, "cannot write %s\n", qPrintable(sheet));
                return 1;
            }
            return 0;
        }
        if (!sameIdsAsCollection(bundle))
            return 1;
        return verifying ? verify(QDir(folder)) : write(QDir(folder));
    } catch (const ToviError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
    }
    return 1;
}
