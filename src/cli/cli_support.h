#pragma once

#include "media/media_processor.h"
#include "media/media_types.h"
#include "packs/starter_pack.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QObject>
#include <QTextStream>

// What the commands share: the error stream and reading number options.
namespace tovi::cli {

// Standard error; every command writes its Polish messages here.
QTextStream& err();

// Leaves `value` as it is when the option is absent. Reports a Polish error and returns false
// when the option is not a finite number.
bool readNumber(const QCommandLineParser& parser, const char* name, double& value);

// --zoom, --x, --y, --title and --subtitle.
void addCropOptions(QCommandLineParser& parser);
bool readCrop(const QCommandLineParser& parser, CropSettings& crop);

// The crop options and everything else a single graphic's export takes (--format, --start,
// --length, --fps, --rotate, --turn, --ccw).
void addExportOptions(QCommandLineParser& parser);
// Applies the options that were given on top of `options` (the studio's fresh settings for the
// media). Reports a Polish error and returns false for an unusable value.
bool readExportOptions(const QCommandLineParser& parser, ExportOptions& options);

// --animation reveal|spin|still; leaves `animation` as it is when absent. Reports a Polish
// error and returns false for another value.
bool readAnimation(const QCommandLineParser& parser, PackReveal& animation);

// Frames done of all, redrawn on one line; only when standard error is a terminal.
MediaProcessor::ExportProgress terminalProgress(const QString& what);

// Runs the event loop until `busy` turns false (at once when it already is).
template <typename Model> void waitWhileBusy(Model& model) {
    QEventLoop loop;
    QObject::connect(&model, &Model::busyChanged, &loop, [&] {
        if (!model.busy())
            loop.quit();
    });
    if (model.busy())
        loop.exec();
}

} // namespace tovi::cli
