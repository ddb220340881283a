#include "pack_file.h"

#include "app/atomic_write.h"
#include "app/file_descriptor.h"
#include "app/platform_error.h"
#include "media/c_handles.h"
#include "media/media_error.h"
#include "packs/pack_renderer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <algorithm>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace tovi::PackFile {
namespace {

const QString descriptionName = QStringLiteral("pack.json");
constexpr qint64 chunkBytes = 64 * 1024;
// Below this an entry cannot hurt whatever its ratio, and small JSON compresses well.
constexpr quint64 ratioFloor = 64 * 1024;
constexpr quint64 maxDescriptionBytes = 1024 * 1024;

struct Entry {
    zip_uint64_t index = 0;
    quint64 size = 0;
};

[[noreturn]] void refuse(OwnPackError::Kind kind, const QString& detail = {}) {
    throw OwnPackError(kind, detail);
}

// A name that could land outside the folder it is unpacked into, on any system.
bool isUnsafeName(const QByteArray& name) {
    if (name.isEmpty() || name.startsWith('/') || name.contains('\\'))
        return true;
    if (name.size() >= 2 && name[1] == ':' && std::isalpha(static_cast<unsigned char>(name[0])))
        return true;
    const QList<QByteArray> parts = name.split('/');
    return std::any_of(parts.begin(), parts.end(),
                       [](const QByteArray& part) { return part == ".."; });
}

// Links and other special files, as the Unix bits of the external attributes tell them.
bool isSpecial(zip_t* archive, zip_uint64_t index) {
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(archive, index, 0, &system, &attributes) != 0)
        refuse(OwnPackError::notPackFile);
    if (system != ZIP_OPSYS_UNIX)
        return false;
    const mode_t type = (attributes >> 16) & S_IFMT;
    return type != 0 && type != S_IFREG && type != S_IFDIR;
}

quint64 littleEndian(const QByteArray& bytes, qsizetype at, int size) {
    quint64 value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = (value << 8) | quint8(bytes.at(at + i));
    return value;
}

// libzip reads the whole directory of an archive into memory, and checks every entry, before
// it can be asked how many there are: a file of a few MB can hold hundreds of thousands. So the
// file's size and the count its end record announces are judged first. libzip's own count
// stays the one that counts; this only spares it the hostile ones.
void checkBeforeOpening(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw PlatformError::fromErrno(EACCES, path);
    // Stored data grows only by its headers.
    if (quint64(file.size()) > maxUnpackedBytes + (1 << 20))
        refuse(OwnPackError::tooLarge);
    const qint64 tailSize = std::min<qint64>(file.size(), 22 + 0xFFFF);
    file.seek(file.size() - tailSize);
    const QByteArray tail = file.read(tailSize);
    for (qsizetype at = tail.size() - 22; at >= 0; --at) {
        if (!tail.mid(at, 4).startsWith("PK\5\6") ||
            at + 22 + qsizetype(littleEndian(tail, at + 20, 2)) != tail.size())
            continue;
        quint64 entries = littleEndian(tail, at + 10, 2);
        if (entries == 0xFFFF && at >= 20 && tail.mid(at - 20, 4).startsWith("PK\6\7")) {
            file.seek(qint64(littleEndian(tail, at - 12, 8)));
            const QByteArray record = file.read(56);
            if (record.size() == 56 && record.startsWith("PK\6\6"))
                entries = littleEndian(record, 32, 8);
        }
        if (entries > quint64(maxEntries))
            refuse(OwnPackError::tooManyEntries);
        return;
    }
}

ZipPtr openArchive(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw PlatformError(PlatformError::notFound, path);
    if (info.isDir())
        throw PlatformError(PlatformError::isADirectory, path);
    checkBeforeOpening(path);
    int error = 0;
    ZipPtr archive(
        zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error));
    // An archive written as a stream (zip -fd, Java's and Android's writers) puts each entry's
    // sizes in a data descriptor after its data and leaves its local header blank or half
    // filled, which libzip's consistency check refuses. Every size judged here comes from the
    // central directory and every entry is unpacked against it, so such an archive is read by
    // its central directory alone.
    if (!archive && error == ZIP_ER_INCONS)
        archive.reset(zip_open(QFile::encodeName(path).constData(), ZIP_RDONLY, &error));
    if (!archive) {
        if (error == ZIP_ER_OPEN || error == ZIP_ER_READ)
            throw PlatformError(PlatformError::permissionDenied, path);
        refuse(OwnPackError::notPackFile);
    }
    return archive;
}

// What a Mac adds beside the files it zips: resource forks, never part of a pack.
bool isMacExtra(const QString& name) {
    return name.startsWith(QStringLiteral("__MACOSX/")) ||
           name.section(QLatin1Char('/'), -1).startsWith(QStringLiteral("._"));
}

// The one folder every entry sits in, as a file manager's "Compress" of a pack's folder makes
// ("Wakacje/pack.json"…), with its slash; empty when the files lie at the top.
QString topFolder(const std::vector<std::pair<QString, Entry>>& entries) {
    QString folder;
    for (const auto& [name, entry] : entries) {
        if (isMacExtra(name))
            continue;
        const qsizetype slash = name.indexOf(QLatin1Char('/'));
        if (slash <= 0)
            return {};
        if (folder.isEmpty())
            folder = name.left(slash + 1);
        else if (!name.startsWith(folder))
            return {};
    }
    return folder;
}

// Every entry judged from the headers alone, before anything is unpacked; the files by name,
// as if the one folder they all sit in were not there.
std::map<QString, Entry> checkEntries(zip_t* archive) {
    const zip_int64_t count = zip_get_num_entries(archive, 0);
    if (count < 0)
        refuse(OwnPackError::notPackFile);
    if (count > maxEntries)
        refuse(OwnPackError::tooManyEntries);
    std::vector<std::pair<QString, Entry>> entries;
    quint64 total = 0;
    for (zip_uint64_t index = 0; index < zip_uint64_t(count); ++index) {
        const char* raw = zip_get_name(archive, index, ZIP_FL_ENC_RAW);
        const char* decoded = zip_get_name(archive, index, 0);
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (!raw || !decoded || zip_stat_index(archive, index, 0, &stat) != 0)
            refuse(OwnPackError::notPackFile);
        const QString name = QString::fromUtf8(decoded);
        if (isUnsafeName(QByteArray(raw)))
            refuse(OwnPackError::unsafeName, name);
        if (isSpecial(archive, index))
            refuse(OwnPackError::link, name);
        const zip_uint64_t needed = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_COMP_METHOD;
        if ((stat.valid & needed) != needed ||
            (stat.comp_method != ZIP_CM_STORE && stat.comp_method != ZIP_CM_DEFLATE) ||
            ((stat.valid & ZIP_STAT_ENCRYPTION_METHOD) && stat.encryption_method != ZIP_EM_NONE))
            refuse(OwnPackError::notPackFile);
        if (stat.size > maxUnpackedBytes || (total += stat.size) > maxUnpackedBytes)
            refuse(OwnPackError::tooLarge);
        if (stat.size > ratioFloor && stat.size > maxRatio * stat.comp_size)
            refuse(OwnPackError::compressionRatio);
        entries.emplace_back(name, Entry{index, stat.size});
    }
    const QString folder = topFolder(entries);
    std::map<QString, Entry> files;
    for (const auto& [name, entry] : entries) {
        // Folder entries and a Mac's extras keep their names: nothing ever asks for them.
        const QString kept = name.startsWith(folder) ? name.mid(folder.size()) : name;
        if (!files.emplace(kept, entry).second)
            refuse(OwnPackError::notPackFile); // two entries of one name
    }
    return files;
}

// Inflates one entry into `sink`, a chunk at a time, trusting nothing the headers said: it stops
// the moment the entry gives more than promised, and a shorter one is refused at its end.
template <typename Sink> void inflate(zip_t* archive, const Entry& entry, Sink&& sink) {
    ZipFilePtr file(zip_fopen_index(archive, entry.index, 0));
    if (!file)
        refuse(OwnPackError::notPackFile);
    QByteArray buffer(chunkBytes, Qt::Uninitialized);
    quint64 got = 0;
    for (;;) {
        const zip_int64_t read = zip_fread(file.get(), buffer.data(), zip_uint64_t(chunkBytes));
        if (read < 0)
            refuse(OwnPackError::notPackFile); // damaged data or a checksum that does not match
        if (read == 0)
            break;
        got += quint64(read);
        if (got > entry.size)
            refuse(OwnPackError::sizeMismatch);
        sink(buffer.constData(), read);
    }
    if (got != entry.size)
        refuse(OwnPackError::sizeMismatch);
}

QByteArray inflateToMemory(zip_t* archive, const Entry& entry) {
    QByteArray bytes;
    inflate(archive, entry, [&](const char* data, qint64 size) { bytes.append(data, size); });
    return bytes;
}

// Unpacks into a new file that must not exist yet, and makes it durable.
void inflateToFile(zip_t* archive, const Entry& entry, const QString& target) {
    FileDescriptor file(::open(QFile::encodeName(target).constData(),
                               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!file.valid())
        throw PlatformError::fromErrno(errno, target);
    inflate(archive, entry,
            [&](const char* data, qint64 size) { writeAll(file.get(), data, size, target); });
    if (::fsync(file.get()) != 0)
        throw PlatformError::fromErrno(errno, target);
    file.close(target);
}

// The picture must open within the decode budget and give its first frame.
void checkPicture(const QString& path, const QString& name) {
    try {
        PackRenderer::original(path);
    } catch (const MediaError& error) {
        refuse(error.kind() == MediaError::oversized ? OwnPackError::pictureTooLarge
                                                     : OwnPackError::pictureUnreadable,
               name);
    }
}

[[noreturn]] void failWrite(zip_t* archive, const QString& path) {
    zip_error_t* error = zip_get_error(archive);
    const int system =
        zip_error_system_type(error) == ZIP_ET_SYS ? zip_error_code_system(error) : 0;
    throw PlatformError::fromErrno(system ? system : EIO, path);
}

// A picture's extension as a pack file keeps it: a few letters or digits, or none.
QString cleanSuffix(const QString& path) {
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool plain = suffix.size() <= 5 && std::all_of(suffix.begin(), suffix.end(), [](QChar c) {
                           return (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || c.isDigit();
                       });
    return plain && !suffix.isEmpty() ? QLatin1Char('.') + suffix : QString();
}

} // namespace

QString safeFileName(const QString& packName) {
    QString name = packName.trimmed();
    for (QChar& c : name)
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c.category() == QChar::Other_Control)
            c = QLatin1Char('-');
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    return name.isEmpty() ? QStringLiteral("zestaw") : name;
}

QString suggestedFileName(const QString& packName) {
    return safeFileName(packName) + QStringLiteral(".tovipack");
}

std::array<QString, Product::cardCount>
pictureNames(const std::array<QString, Product::cardCount>& pictures) {
    std::array<QString, Product::cardCount> names;
    for (size_t slot = 0; slot < pictures.size(); ++slot) {
        const auto first = std::find(pictures.begin(), pictures.end(), pictures[slot]);
        names[slot] = first != pictures.begin() + qsizetype(slot)
                          ? names[size_t(first - pictures.begin())]
                          : QString::number(slot + 1) + cleanSuffix(pictures[slot]);
    }
    return names;
}

void write(const PackContent& content, const QString& path) {
    const std::array<QString, Product::cardCount> names = pictureNames(content.pictures);
    PackContent written = content;
    for (size_t slot = 0; slot < names.size(); ++slot)
        written.pictures[slot] = names[slot];
    const QByteArray description = QJsonDocument(written.toJson()).toJson();
    quint64 total = quint64(description.size());
    std::map<QString, QString> pictures; // entry name → source file
    for (size_t slot = 0; slot < names.size(); ++slot)
        if (pictures.emplace(names[slot], content.pictures[slot]).second) {
            const QFileInfo source(content.pictures[slot]);
            if (!source.isFile())
                throw PlatformError(PlatformError::notFound, content.pictures[slot]);
            total += quint64(source.size());
        }
    if (total > maxUnpackedBytes)
        throw OwnPackError(OwnPackError::tooLargeToShare);

    atomicWriteBy(path, [&](const QString& temporary) {
        int error = 0;
        ZipPtr archive(
            zip_open(QFile::encodeName(temporary).constData(), ZIP_CREATE | ZIP_EXCL, &error));
        if (!archive)
            throw PlatformError::fromErrno(error == ZIP_ER_EXISTS ? EEXIST : EACCES, path);
        const auto add = [&](const QString& name, zip_source_t* data, zip_int32_t method) {
            ZipSourcePtr source(data);
            if (!source)
                failWrite(archive.get(), path);
            const zip_int64_t index = zip_file_add(archive.get(), name.toUtf8().constData(),
                                                   source.get(), ZIP_FL_ENC_UTF_8);
            if (index < 0)
                failWrite(archive.get(), path);
            source.release(); // the archive's now
            if (zip_set_file_compression(archive.get(), zip_uint64_t(index), method, 0) != 0)
                failWrite(archive.get(), path);
        };
        add(descriptionName,
            zip_source_buffer(archive.get(), description.constData(),
                              zip_uint64_t(description.size()), 0),
            ZIP_CM_DEFLATE);
        // Pictures are compressed already: stored as they are, they unpack without a ratio to
        // judge.
        for (const auto& [name, source] : pictures)
            add(name, zip_source_file(archive.get(), QFile::encodeName(source).constData(), 0, -1),
                ZIP_CM_STORE);
        if (zip_close(archive.get()) != 0)
            failWrite(archive.get(), path);
        archive.release(); // closed and freed
    });
}

PackContent read(const QString& path, const QString& folder) {
    const ZipPtr archive = openArchive(path);
    const std::map<QString, Entry> files = checkEntries(archive.get());
    const auto description = files.find(descriptionName);
    if (description == files.end())
        refuse(OwnPackError::description, QStringLiteral("brak pliku pack.json"));
    if (description->second.size > maxDescriptionBytes)
        refuse(OwnPackError::description, QStringLiteral("plik jest za duży"));
    PackContent content =
        PackContent::fromJson(inflateToMemory(archive.get(), description->second), folder);
    std::map<QString, bool> unpacked;
    for (const QString& picture : content.pictures) {
        const QString name = QFileInfo(picture).fileName();
        if (unpacked[name])
            continue;
        const auto entry = files.find(name);
        if (entry == files.end())
            refuse(OwnPackError::missingPicture, name);
        inflateToFile(archive.get(), entry->second, picture);
        checkPicture(picture, name);
        unpacked[name] = true;
    }
    syncToDisk(folder);
    return content;
}

} // namespace tovi::PackFile
