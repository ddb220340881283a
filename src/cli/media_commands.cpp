#include "app/product.h"
#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "media/media_error.h"
#include "media/media_processor.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>
#include <optional>

namespace tovi::cli {

namespace {

// What `tovi inspect` tells about one readable file.
struct Inspected {
    QString kind; // still, animated or video
    QSize size;
    std::optional<int> frames; // none for a video
    double duration;
};

Inspected inspectFile(const QString& path) {
    const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    const MediaInfo info = MediaProcessor::inspect(url);
    if (info.video)
        return {QStringLiteral("video"), info.frame.size(), std::nullopt, info.duration};
    auto source = ImageSource::open(url.toLocalFile());
    return {info.animated ? QStringLiteral("animated") : QStringLiteral("still"), info.frame.size(),
            source ? source->frameCount() : 1, info.duration};
}

QByteArray jsonLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

int inspect(CommandLine& line) {
    line.add(
        {{QStringLiteral("json"), QStringLiteral("jeden obiekt JSON w wierszu na każdy plik")}});
    if (const auto status = line.parse(1, -1))
        return *status;
    const bool json = line.isSet("json");
    QFile out;
    out.open(stdout, QIODevice::WriteOnly);
    int status = 0;
    for (const QString& path : line.positional()) {
        const QString name = QFileInfo(path).fileName();
        try {
            const Inspected file = inspectFile(path);
            if (json)
                out.write(jsonLine({{QStringLiteral("file"), path},
                                    {QStringLiteral("kind"), file.kind},
                                    {QStringLiteral("width"), file.size.width()},
                                    {QStringLiteral("height"), file.size.height()},
                                    {QStringLiteral("frames"),
                                     file.frames ? QJsonValue(*file.frames) : QJsonValue()},
                                    {QStringLiteral("duration"), file.duration}}));
            else
                out.write((name + QLatin1Char('\t') + file.kind + QLatin1Char('\t') +
                           QString::number(file.size.width()) + QStringLiteral("×") +
                           QString::number(file.size.height()) + QLatin1Char('\t') +
                           (file.frames ? QString::number(*file.frames) : QStringLiteral("-")) +
                           QLatin1Char('\t') + QString::number(file.duration, 'f', 3) +
                           QLatin1Char('\n'))
                              .toUtf8());
        } catch (const ToviError& error) {
            status = 1;
            if (json) {
                out.write(jsonLine(
                    {{QStringLiteral("file"), path}, {QStringLiteral("error"), error.message()}}));
                continue;
            }
            out.flush();
            err() << name << '\t' << error.message() << '\n' << Qt::flush;
        }
    }
    return status;
}

int frame(CommandLine& line) {
    line.add({
        {QStringLiteral("time"), QStringLiteral("czas klatki w sekundach"), QStringLiteral("T")},
        {QStringLiteral("zoom"), QStringLiteral("powiększenie 1…3"), QStringLiteral("Z")},
        {QStringLiteral("x"), QStringLiteral("położenie poziome −1…1"), QStringLiteral("X")},
        {QStringLiteral("y"), QStringLiteral("położenie pionowe −1…1"), QStringLiteral("Y")},
        {QStringLiteral("size"), QStringLiteral("bok obrazu w pikselach"), QStringLiteral("N")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("plik PNG"),
         QStringLiteral("OUT.png")},
    });
    if (const auto status = line.parse(1))
        return *status;
    if (!line.isSet("o"))
        return line.usageError();
    const QCommandLineParser& parser = line.parser();
    double time = 0, size = Product::screenSide;
    CropSettings crop;
    if (!readNumber(parser, "time", time) || !readNumber(parser, "zoom", crop.zoom) ||
        !readNumber(parser, "x", crop.x) || !readNumber(parser, "y", crop.y) ||
        !readNumber(parser, "size", size))
        return 2;
    if (size < 1 || size > 4096) {
        err() << "tovi: --size musi mieścić się w zakresie 1–4096.\n";
        return 2;
    }
    try {
        const QString input = line.positional().constFirst();
        const MediaInfo info =
            MediaProcessor::inspect(QUrl::fromLocalFile(QFileInfo(input).absoluteFilePath()));
        const QImage picture = MediaProcessor::crop(
            MediaProcessor::sourceFrame(info, time, VideoSource::Accuracy::exact), crop,
            static_cast<int>(size));
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!picture.save(&buffer, "PNG"))
            throw MediaError(MediaError::encode);
        atomicWrite(QFileInfo(line.value("o")).absoluteFilePath(), png);
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace tovi::cli
