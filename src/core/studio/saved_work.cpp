#include "saved_work.h"

#include "app/working_folder.h"
#include "studio/media_copy.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>

namespace tovi {
namespace {

// 1 had no order and no speed: its work plays normally at 1 ×.
constexpr int version = 2;

struct Reader {
    const QJsonObject& object;
    bool ok = true;

    QJsonValue take(const char* key, QJsonValue::Type type) {
        const QJsonValue value = object.value(QLatin1StringView(key));
        if (value.type() != type)
            ok = false;
        return value;
    }
    double number(const char* key) {
        const double value = take(key, QJsonValue::Double).toDouble();
        if (!std::isfinite(value))
            ok = false;
        return value;
    }
    bool flag(const char* key) { return take(key, QJsonValue::Bool).toBool(); }
    QString text(const char* key) { return take(key, QJsonValue::String).toString(); }
};

} // namespace

QString SavedWork::file() {
    return QDir(WorkingFolder::path()).filePath(QStringLiteral("studio.json"));
}

QByteArray SavedWork::encode() const {
    const QJsonObject settings{
        {QStringLiteral("crop"), options.crop.toJson()},
        {QStringLiteral("format"), rawValue(options.format)},
        {QStringLiteral("start"), options.start},
        {QStringLiteral("length"), options.length},
        {QStringLiteral("fps"), options.fps},
        {QStringLiteral("order"), rawValue(options.order)},
        {QStringLiteral("speed"), options.speed},
        {QStringLiteral("rotation"), options.rotation},
        {QStringLiteral("rotationSeconds"), options.rotationSeconds},
        {QStringLiteral("clockwise"), options.clockwise},
        {QStringLiteral("captions"), options.captions},
        {QStringLiteral("captionTitle"), options.captionTitle},
        {QStringLiteral("captionSubtitle"), options.captionSubtitle},
    };
    return QJsonDocument(QJsonObject{{QStringLiteral("version"), version},
                                     {QStringLiteral("copy"), copy},
                                     {QStringLiteral("mediaName"), mediaName},
                                     {QStringLiteral("options"), settings}})
        .toJson();
}

std::optional<SavedWork> SavedWork::decode(const QByteArray& bytes) {
    const QJsonObject top = QJsonDocument::fromJson(bytes).object();
    Reader outer{top};
    SavedWork work;
    const double saved = outer.number("version");
    if (saved != version && saved != 1)
        return std::nullopt;
    work.copy = outer.text("copy");
    work.mediaName = outer.text("mediaName");
    const QJsonObject settings = outer.take("options", QJsonValue::Object).toObject();
    Reader inner{settings};
    ExportOptions& options = work.options;
    const std::optional<CropSettings> crop =
        CropSettings::fromJson(settings.value(QLatin1StringView("crop")));
    const std::optional<OutputFormat> format = outputFormatFromRaw(inner.text("format"));
    options.start = inner.number("start");
    options.length = inner.number("length");
    const double fps = inner.number("fps");
    std::optional<PlaybackOrder> order = options.order;
    if (saved != 1) {
        order = playbackOrderFromRaw(inner.text("order"));
        options.speed = inner.number("speed");
    }
    options.rotation = inner.flag("rotation");
    options.rotationSeconds = inner.number("rotationSeconds");
    options.clockwise = inner.flag("clockwise");
    options.captions = inner.flag("captions");
    options.captionTitle = inner.text("captionTitle");
    options.captionSubtitle = inner.text("captionSubtitle");
    if (!outer.ok || !inner.ok || !crop || !format || !order || !MediaCopy::isCopyName(work.copy) ||
        std::abs(fps) > 1000 || fps != std::floor(fps))
        return std::nullopt;
    if (!std::isfinite(crop->zoom) || !std::isfinite(crop->x) || !std::isfinite(crop->y))
        return std::nullopt;
    options.fps = int(fps);
    options.crop = *crop;
    options.format = *format;
    options.order = *order;
    return work;
}

} // namespace tovi
