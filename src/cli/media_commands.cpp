#include "cli_support.h"
#include "commands.h"

#include "app/atomic_write.h"
#include "app/tovi_error.h"
#include "media/media_error.h"
#include "media/media_processor.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QTextStream>
#include <cmath>

namespace tovi::cli {

int inspect(const QStringList& arguments) {
    if (arguments.isEmpty()) {
        err() << "Użycie: tovi inspect PLIK…\n";
        return 2;
    }
    QTextStream out(stdout);
    int status = 0;
    for (const QString& path : arguments) {
        const QString name = QFileInfo(path).fileName();
        try {
            const QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
            const MediaInfo info = MediaProcessor::inspect(url);
            QString kind = QStringLiteral("still");
            QString frames = QStringLiteral("-");
            if (info.video) {
                kind = QStringLiteral("video");
            } else {
                auto source = ImageSource::open(url.toLocalFile());
                frames = QString::number(source ? source->frameCount() : 1);
                if (info.animated)
                    kind = QStringLiteral("animated");
            }
            out << name << '\t' << kind << '\t' << info.frame.width() << "×" << info.frame.height()
                << '\t' << frames << '\t' << QString::number(info.duration, 'f', 3) << '\n';
        } catch (const ToviError& error) {
            out.flush();
            err() << name << '\t' << error.message() << '\n';
            err().flush();
            status = 1;
        }
    }
    return status;
}

int frame(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("FILE"), QStringLiteral("plik źródłowy"));
    parser.addOptions({
        {QStringLiteral("time"), QStringLiteral("czas klatki w sekundach"), QStringLiteral("T")},
        {QStringLiteral("zoom"), QStringLiteral("powiększenie 1…3"), QStringLiteral("Z")},
        {QStringLiteral("x"), QStringLiteral("położenie poziome −1…1"), QStringLiteral("X")},
        {QStringLiteral("y"), QStringLiteral("położenie pionowe −1…1"), QStringLiteral("Y")},
        {QStringLiteral("size"), QStringLiteral("bok obrazu w pikselach"), QStringLiteral("N")},
        {{QStringLiteral("o"), QStringLiteral("output")},
         QStringLiteral("plik PNG"),
         QStringLiteral("OUT.png")},
    });
    if (!parser.parse(QStringList{QStringLiteral("tovi frame")} + arguments) ||
        parser.positionalArguments().size() != 1 || !parser.isSet(QStringLiteral("o"))) {
        if (!parser.errorText().isEmpty())
            err() << "tovi: " << parser.errorText() << '\n';
        err() << "Użycie: tovi frame PLIK --time T [--zoom Z --x X --y Y] --size N -o OUT.png\n";
        return 2;
    }
    double time = 0, size = 240;
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
        const QString input = parser.positionalArguments().constFirst();
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
        atomicWrite(QFileInfo(parser.value(QStringLiteral("o"))).absoluteFilePath(), png);
    } catch (const ToviError& error) {
        err() << "tovi: " << error.message() << '\n';
        return 1;
    }
    return 0;
}

} // namespace tovi::cli
