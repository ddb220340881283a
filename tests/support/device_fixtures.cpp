#include "device_fixtures.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <stdexcept>

namespace tovi::test {

namespace {

int appendTo(GifFileType* gif, const GifByteType* bytes, int length) {
    static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), length);
    return length;
}

void check(int result) {
    if (result != GIF_OK)
        throw std::runtime_error("giflib failed");
}

} // namespace

QByteArray makeGif(int seed, QSize screen, int frames, const std::vector<QSize>& frameSizes,
                   bool noise) {
    QByteArray out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, appendTo, &error);
    if (!gif)
        throw std::runtime_error("giflib open failed");
    GifColorType colors[256];
    for (int i = 0; i < 256; ++i)
        colors[i] = {static_cast<GifByteType>(i), static_cast<GifByteType>((i * 7 + seed) & 255),
                     static_cast<GifByteType>(255 - i)};
    ColorMapObject* map = GifMakeMapObject(256, colors);
    EGifSetGifVersion(gif, true);
    check(EGifPutScreenDesc(gif, screen.width(), screen.height(), 8, 0, map));
    QRandomGenerator random(static_cast<quint32>(seed));
    for (int frame = 0; frame < frames; ++frame) {
        const QSize size = frame < static_cast<int>(frameSizes.size()) ? frameSizes[frame] : screen;
        const GifByteType control[4] = {0, 10, 0, 0}; // 0.1 s
        check(EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control));
        check(EGifPutImageDesc(gif, 0, 0, size.width(), size.height(), false, nullptr));
        std::vector<GifPixelType> row(static_cast<size_t>(size.width()));
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x)
                row[static_cast<size_t>(x)] =
                    noise ? static_cast<GifPixelType>(random.bounded(256))
                          : static_cast<GifPixelType>((x / 8 + y / 8 + seed + frame) & 255);
            check(EGifPutLine(gif, row.data(), size.width()));
        }
    }
    const int closed = EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    check(closed);
    return out;
}

QByteArray padGif(const QByteArray& gif, qint64 size) {
    qint64 extra = size - gif.size();
    if (extra < 5 || !gif.endsWith(';'))
        throw std::runtime_error("cannot pad");
    // 0x21 0xFE, sub-blocks of (length, data…), 0x00: 3 bytes plus one per sub-block.
    qint64 payload = extra - 3;
    const qint64 blocks = (payload + 255) / 256;
    payload -= blocks;
    QByteArray comment("\x21\xFE", 2);
    for (qint64 i = 0; i < blocks; ++i) {
        const qint64 length = std::min<qint64>(255, payload - (blocks - 1 - i));
        comment.append(static_cast<char>(length));
        comment.append(QByteArray(length, 'x'));
        payload -= length;
    }
    comment.append('\0');
    QByteArray result = gif.left(gif.size() - 1) + comment + ';';
    if (result.size() != size)
        throw std::runtime_error("padding miscounted");
    return result;
}

Game1Installer::Files cardSet(int seed, int frames, bool noise) {
    Game1Installer::Files files;
    int offset = 0;
    for (const QString& name : Game1Installer::names())
        files[name] = makeGif(seed * 10 + offset++, {240, 240}, frames, {}, noise);
    return files;
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
    ASSERT_TRUE(file.flush());
}

void fillUp(const QString& path, bool append) {
    QFile file(path);
    ASSERT_TRUE(file.open(append ? QIODevice::Append : QIODevice::WriteOnly)) << path.toStdString();
    while (file.write(QByteArray(4096, 'f')) == 4096 && file.flush()) {
    }
}

QString savePicture(const QString& path, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    EXPECT_TRUE(image.save(path)) << path.toStdString();
    return path;
}

void makeFolder(const QString& path) {
    ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString();
}

void makeDevice(const QString& root, const Game1Installer::Files& game1) {
    for (const char* name : {"Photo1", "Photo2", "Photo3", "Game1", "Game2", "Game3"})
        makeFolder(root + QLatin1Char('/') + QLatin1String(name));
    for (const auto& [name, bytes] : game1)
        writeFile(root + QStringLiteral("/Game1/") + name, bytes);
}

std::map<QString, QByteArray> tree(const QString& folder) {
    std::map<QString, QByteArray> result;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    const QDir base(folder);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info = it.fileInfo();
        if (info.isDir() && !info.isSymLink()) {
            result[base.relativeFilePath(path) + QLatin1Char('/')] = {};
        } else {
            QFile file(path);
            result[base.relativeFilePath(path)] =
                file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
        }
    }
    return result;
}

QStringList folders(const QString& folder) {
    return QDir(folder).entryList(QDir::Dirs | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace tovi::test
