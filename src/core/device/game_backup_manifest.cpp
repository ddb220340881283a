#include "game_backup_manifest.h"

#include "device/pack_error.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tovi {

namespace {

// 2001-01-01 00:00:00 UTC in milliseconds since 1970: the epoch of `created`.
constexpr qint64 referenceMs = 978307200000;

void appendString(QByteArray& out, const QString& text) {
    out.append('"');
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out.append("\\\"");
            break;
        case '\\':
            out.append("\\\\");
            break;
        case '/':
            out.append("\\/");
            break;
        case '\n':
            out.append("\\n");
            break;
        case '\r':
            out.append("\\r");
            break;
        case '\t':
            out.append("\\t");
            break;
        case '\b':
            out.append("\\b");
            break;
        case '\f':
            out.append("\\f");
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                out.append(escaped);
            } else {
                out.append(c);
            }
        }
    }
    out.append('"');
}

// The shortest text that reads back as the same double, without an exponent.
void appendNumber(QByteArray& out, double value) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    out.append(buffer, result.ptr - buffer);
}

[[noreturn]] void malformed() {
    throw PackError(PackError::backupFailed);
}

} // namespace

GameBackupManifest::File GameBackupManifest::describe(const QByteArray& data) {
    return {data.size(), QString::fromLatin1(
                             QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex())};
}

QByteArray GameBackupManifest::toJson() const {
    QByteArray out;
    out.append("{\"created\":");
    appendNumber(out, static_cast<double>(created.toMSecsSinceEpoch() - referenceMs) / 1000.0);
    out.append(",\"source\":");
    appendString(out, source);
    out.append(",\"files\":{");
    bool first = true;
    for (const auto& [name, file] : files) {
        if (!first)
            out.append(',');
        first = false;
        appendString(out, name);
        out.append(":{\"bytes\":");
        out.append(QByteArray::number(file.bytes));
        out.append(",\"sha256\":");
        appendString(out, file.sha256);
        out.append('}');
    }
    out.append("}}");
    return out;
}

GameBackupManifest GameBackupManifest::fromJson(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        malformed();
    const QJsonObject object = document.object();
    const QJsonValue created = object.value(QStringLiteral("created"));
    const QJsonValue source = object.value(QStringLiteral("source"));
    const QJsonValue files = object.value(QStringLiteral("files"));
    if (!created.isDouble() || !source.isString() || !files.isObject())
        malformed();

    GameBackupManifest manifest;
    manifest.created = QDateTime::fromMSecsSinceEpoch(
        referenceMs + std::llround(created.toDouble() * 1000.0), Qt::UTC);
    manifest.source = source.toString();
    const QJsonObject entries = files.toObject();
    for (auto entry = entries.begin(); entry != entries.end(); ++entry) {
        const QJsonObject file = entry.value().toObject();
        const QJsonValue bytes = file.value(QStringLiteral("bytes"));
        const QJsonValue sha256 = file.value(QStringLiteral("sha256"));
        if (!entry.value().isObject() || !bytes.isDouble() || !sha256.isString())
            malformed();
        const double size = bytes.toDouble();
        if (size < 0 || size != std::floor(size) || size > 9007199254740992.0)
            malformed();
        manifest.files[entry.key()] = {static_cast<qint64>(size), sha256.toString()};
    }
    return manifest;
}

} // namespace tovi
