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
// The reach of a JavaScript date, well inside a 64-bit count of milliseconds.
constexpr double maxCreatedSeconds = 8.64e12;

// `text` as a JSON string. A lone UTF-16 surrogate (a file name that is not valid Unicode) is
// written as its \u escape, so the name reads back exactly instead of becoming "?".
void appendString(QByteArray& out, const QString& text) {
    out.append('"');
    const auto escape = [&out](char16_t unit) {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", unsigned(unit));
        out.append(escaped);
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            out.append(text.mid(i, 2).toUtf8());
            ++i;
            continue;
        }
        if (QChar::isSurrogate(unit)) {
            escape(unit);
            continue;
        }
        switch (unit) {
        case u'"':
            out.append("\\\"");
            break;
        case u'\\':
            out.append("\\\\");
            break;
        case u'/':
            out.append("\\/");
            break;
        case u'\n':
            out.append("\\n");
            break;
        case u'\r':
            out.append("\\r");
            break;
        case u'\t':
            out.append("\\t");
            break;
        case u'\b':
            out.append("\\b");
            break;
        case u'\f':
            out.append("\\f");
            break;
        default:
            if (unit < 0x20)
                escape(unit);
            else
                out.append(QStringView(&text.constData()[i], 1).toUtf8());
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

    // Beyond what a date can hold (about ±285,000 years) the milliseconds would overflow.
    const double seconds = created.toDouble();
    if (!(std::abs(seconds) <= maxCreatedSeconds))
        malformed();
    GameBackupManifest manifest;
    manifest.created =
        QDateTime::fromMSecsSinceEpoch(referenceMs + std::llround(seconds * 1000.0), Qt::UTC);
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
