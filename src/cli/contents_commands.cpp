// What is on the Tovi and in the local backups, and taking pictures off the Tovi: the same core
// operations the window's "Na Tovi" uses.

#include "cli_support.h"
#include "commands.h"

#include "app/background_task.h"
#include "app/polish_count.h"
#include "app/tovi_error.h"
#include "app/working_folder.h"
#include "device/album_removal.h"
#include "device/backup_list.h"
#include "device/device_contents.h"
#include "device/device_layout.h"
#include "packs/packs_model.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace tovi::cli {

namespace {

// --device (required), --timeout and --wait, parsed with `least`…`most` positional arguments.
// Nothing once the help or an error is printed, with the exit status in `status`.
std::optional<QString> parseDevice(CommandLine& line, qsizetype least, qsizetype most,
                                   std::optional<double>& timeout, int& status) {
    line.add({{QStringLiteral("device"), QStringLiteral("dysk Tovi albo folder na nim"),
               QStringLiteral("ŚCIEŻKA")}});
    addTimeoutOption(line);
    addWaitOption(line);
    if (const auto done = line.parse(least, most)) {
        status = *done;
        return std::nullopt;
    }
    if (!line.isSet("device")) {
        status = line.usageError();
        return std::nullopt;
    }
    if (!readTimeout(line.parser(), timeout)) {
        status = 2;
        return std::nullopt;
    }
    const QString device = QFileInfo(line.value("device")).absoluteFilePath();
    if (line.isSet("wait"))
        waitForDevice(device, [&] { DeviceContents::rootOf(device); });
    return device;
}

QString kindName(DevicePicture::Kind kind) {
    switch (kind) {
    case DevicePicture::Kind::gif:
        return QStringLiteral("gif");
    case DevicePicture::Kind::jpeg:
        return QStringLiteral("jpeg");
    case DevicePicture::Kind::unsupported:
        return QStringLiteral("unsupported");
    case DevicePicture::Kind::broken:
        return QStringLiteral("broken");
    case DevicePicture::Kind::missing:
        return QStringLiteral("missing");
    }
    return {};
}

// One tab-separated line: name, kind (with the size in pixels), frames, duration, file size.
QString pictureLine(const DevicePicture& picture) {
    return QStringLiteral("  ") + picture.name + QLatin1Char('\t') +
           picture.fields(DevicePicture::Listing::command).join(QLatin1Char('\t'));
}

QJsonObject pictureJson(const DevicePicture& picture) {
    QJsonObject object{{QStringLiteral("name"), picture.name},
                       {QStringLiteral("kind"), kindName(picture.kind)},
                       {QStringLiteral("bytes"), picture.bytes}};
    if (picture.showable()) {
        object.insert(QStringLiteral("width"), picture.size.width());
        object.insert(QStringLiteral("height"), picture.size.height());
        object.insert(QStringLiteral("frames"), picture.frames);
        object.insert(QStringLiteral("duration"), picture.seconds);
    }
    return object;
}

void printContents(const DeviceContents& contents, bool json) {
    QTextStream out(stdout);
    if (json) {
        QJsonArray albums, cards;
        for (const DeviceContents::Album& album : contents.albums) {
            QJsonArray pictures;
            for (const DevicePicture& picture : album.pictures)
                pictures.append(pictureJson(picture));
            albums.append(QJsonObject{{QStringLiteral("name"), album.name},
                                      {QStringLiteral("pictures"), pictures}});
        }
        for (const DevicePicture& card : contents.cards)
            cards.append(pictureJson(card));
        out << QJsonDocument(QJsonObject{{QStringLiteral("device"), contents.root},
                                         {QStringLiteral("albums"), albums},
                                         {QStringLiteral("game1"), cards},
                                         {QStringLiteral("free"), contents.space.free},
                                         {QStringLiteral("total"), contents.space.total}})
                   .toJson(QJsonDocument::Compact)
            << '\n';
        return;
    }
    for (const DeviceContents::Album& album : contents.albums) {
        const auto count = qint64(album.pictures.size());
        out << album.name << ": " << (count ? PolishCount::files(count) : QStringLiteral("pusty"))
            << '\n';
        for (const DevicePicture& picture : album.pictures)
            out << pictureLine(picture) << '\n';
    }
    out << "Game1:\n";
    for (const DevicePicture& card : contents.cards)
        out << pictureLine(card) << '\n';
    out << contents.space.freeText() << '\n';
}

// "Photo1/NAME" as album and name, the album as the device spells it; nothing for another form.
std::optional<std::pair<QString, QString>> albumAndName(const QString& item) {
    const QString album = item.section(QLatin1Char('/'), 0, 0);
    const QString name = item.section(QLatin1Char('/'), 1);
    for (const QString& known : DeviceLayout::albumNames())
        if (known.compare(album, Qt::CaseInsensitive) == 0 && !name.isEmpty() &&
            !name.contains(QLatin1Char('/')))
            return std::pair{known, name};
    return std::nullopt;
}

} // namespace

int ls(CommandLine& line) {
    line.add({{QStringLiteral("json"), QStringLiteral("wszystko jako jeden obiekt JSON")}});
    std::optional<double> timeout;
    int status = 0;
    const std::optional<QString> device = parseDevice(line, 0, 0, timeout, status);
    if (!device)
        return status;
    DeviceJob job;
    const std::optional<DeviceContents> contents = watched<DeviceContents>(
        job, true,
        [device = *device](const DeviceJob::Step& step) {
            return DeviceContents::read(device, [step] { return step({}); });
        },
        timeout, [] { err() << "tovi: Przestano czekać na Tovi.\n"; });
    if (!contents)
        return 1;
    printContents(*contents, line.isSet("json"));
    return 0;
}

int rm(CommandLine& line) {
    std::optional<double> timeout;
    int status = 0;
    const std::optional<QString> device = parseDevice(line, 1, -1, timeout, status);
    if (!device)
        return status;
    std::vector<std::pair<QString, QString>> items;
    for (const QString& item : line.positional()) {
        const auto parsed = albumAndName(item);
        if (!parsed)
            return line.usageError(
                QStringLiteral("„%1” nie jest plikiem albumu: podaj Photo1/NAZWA, Photo2/NAZWA "
                               "albo Photo3/NAZWA.")
                    .arg(item));
        items.push_back(*parsed);
    }
    QString kept;
    try {
        kept = WorkingFolder::removedItems();
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    std::optional<AlbumRemoval::Progress> last;
    DeviceJob job;
    const std::optional<int> failedCount = watched<int>(
        job, true,
        [device = *device, items, kept, &last](const DeviceJob::Step& beat) {
            int failures = 0;
            for (const auto& [album, name] : items) {
                const QString item = album + QLatin1Char('/') + name;
                const AlbumRemoval::Observer observe = [&beat, &last](const auto& at) {
                    return beat([&last, at] { last = at; });
                };
                try {
                    const AlbumRemoval::Removed removed =
                        AlbumRemoval::remove(device, album, name, kept, observe);
                    beat([item, copy = removed.copy] {
                        QTextStream(stdout) << item << ": usunięto z Tovi; sprawdzona kopia: "
                                            << QDir::toNativeSeparators(copy) << '\n';
                    });
                } catch (const ToviError& error) {
                    ++failures;
                    beat([item, message = error.message()] {
                        err() << "tovi: " << item << ": " << message << '\n' << Qt::flush;
                    });
                }
                beat([&last] { last.reset(); });
            }
            return failures;
        },
        timeout, [&last] { err() << "tovi: " << AlbumRemoval::stoppedText(last) << '\n'; });
    return failedCount && *failedCount == 0 ? 0 : 1;
}

int backups(CommandLine& line) {
    line.add({{QStringLiteral("backups"),
               QStringLiteral("folder kopii (domyślnie ten, w którym robi je okno)"),
               QStringLiteral("FOLDER")},
              {QStringLiteral("json"), QStringLiteral("wszystko jako jedna tablica JSON")}});
    if (const auto status = line.parse(0))
        return *status;
    std::vector<BackupList::Entry> entries;
    QString folder;
    try {
        folder = line.isSet("backups") ? line.value("backups") : PacksModel::backups();
        entries = BackupList::read(folder);
    } catch (const ToviError& error) {
        return failed(error.message());
    }
    QTextStream out(stdout);
    if (line.isSet("json")) {
        QJsonArray all;
        for (const BackupList::Entry& entry : entries) {
            QJsonArray files;
            for (const auto& [name, file] : entry.report.manifest.files)
                files.append(QJsonObject{{QStringLiteral("name"), name},
                                         {QStringLiteral("bytes"), file.bytes},
                                         {QStringLiteral("sha256"), file.sha256}});
            all.append(QJsonObject{
                {QStringLiteral("folder"), entry.folder},
                {QStringLiteral("created"), entry.created.toString(Qt::ISODateWithMs)},
                {QStringLiteral("intact"), entry.report.intact},
                {QStringLiteral("installed"), entry.report.installed},
                {QStringLiteral("problems"), QJsonArray::fromStringList(entry.report.problems)},
                {QStringLiteral("files"), files}});
        }
        out << QJsonDocument(all).toJson(QJsonDocument::Compact) << '\n';
        return 0;
    }
    if (entries.empty())
        out << "Brak kopii w folderze " << QDir::toNativeSeparators(folder) << ".\n";
    for (const BackupList::Entry& entry : entries) {
        out << entry.created.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << '\t'
            << QDir::toNativeSeparators(entry.folder) << '\n'
            << (entry.report.intact ? QStringLiteral("  Kopia jest nienaruszona")
                                    : QStringLiteral("  Kopia jest uszkodzona albo niekompletna"))
            << (entry.report.installed ? QStringLiteral("; instalacja po niej zweryfikowana.\n")
                                       : QStringLiteral("; instalacja po niej nieukończona.\n"));
        for (const QString& problem : entry.report.problems)
            out << "  " << problem << '\n';
        for (const auto& [name, file] : entry.report.manifest.files)
            out << "  " << name << '\t' << DeviceSpace::fileSize(file.bytes) << '\n';
    }
    return 0;
}

} // namespace tovi::cli
