#pragma once

#include "app/background_task.h"
#include "command_line.h"
#include "device/device_job.h"
#include "media/media_processor.h"
#include "media/media_types.h"
#include "packs/starter_pack.h"

#include <QCommandLineParser>
#include <QEventLoop>
#include <QObject>
#include <QTextStream>
#include <QTimer>
#include <optional>

// What the commands share: the error stream and reading number options.
namespace tovi::cli {

// Standard error; every command writes its Polish messages here.
QTextStream& err();
// Prints "tovi: `error`" on standard error; returns the exit status 1.
int failed(const QString& error);

// Leaves `value` as it is when the option is absent. Reports a Polish error and returns false
// when the option is not a finite number.
bool readNumber(const QCommandLineParser& parser, const char* name, double& value);

// --zoom, --x, --y, --title and --subtitle.
void addCropOptions(CommandLine& line);
bool readCrop(const QCommandLineParser& parser, CropSettings& crop);

// The crop options and everything else a single graphic's export takes (--format, --start,
// --length, --fps, --rotate, --turn, --ccw).
void addExportOptions(CommandLine& line);
// Applies the options that were given on top of `options` (the studio's fresh settings for the
// media). Reports a Polish error and returns false for an unusable value.
bool readExportOptions(const QCommandLineParser& parser, ExportOptions& options);

// --animation reveal|spin|still; leaves `animation` as it is when absent. Reports a Polish
// error and returns false for another value.
bool readAnimation(const QCommandLineParser& parser, PackReveal& animation);

// Frames done of all, redrawn on one line; only when standard error is a terminal.
MediaProcessor::ExportProgress terminalProgress(const QString& what);

// --timeout SECONDS: how long to go on waiting once the Tovi has stopped answering; without it
// the command waits as long as it takes.
void addTimeoutOption(CommandLine& line);
// Reports a Polish error and returns false unless the option is absent or a number ≥ 0.
bool readTimeout(const QCommandLineParser& parser, std::optional<double>& seconds);
bool parseTimeout(const QString& text, std::optional<double>& seconds);

// --wait: wait for the Tovi to be connected instead of failing.
void addWaitOption(CommandLine& line);
// Returns once `find` (which throws while the Tovi at `device` is not there) stops throwing,
// trying again on every mount and unmount and once a second; says on standard error that it
// waits, when another disk was mounted at `device`, and when the Tovi came. Ctrl+C ends the
// process while it waits: nothing has been written by then.
void waitForDevice(const QString& device, const std::function<void()>& find);

// Ends the process at once with `status`, the output flushed. For when a thread is still blocked
// in a call on the device: no destructor or exit handler runs under its feet, nor waits for it.
[[noreturn]] void exitNow(int status);

// What the commands tell about a device that stopped answering: the watch's text when it
// stalls and, with `timeout`, a call of `stop` after that many more seconds of silence. Lives as
// long as `job`.
void reportStalls(DeviceJob& job, std::optional<double> timeout, const std::function<void()>& stop);

// Runs `work` on a device thread while this thread watches the Tovi through `job`: a silence is
// reported and, with `timeout`, ends the wait: the job is abandoned, `stopped` prints what that
// means and the process ends. With `watching` the watch starts at once, otherwise when a step
// calls job.watch(). Nothing when the work failed (its error is printed).
template <typename T>
std::optional<T> watched(DeviceJob& job, bool watching,
                         const std::function<T(const DeviceJob::Step&)>& work,
                         std::optional<double> timeout, const std::function<void()>& stopped) {
    QEventLoop loop;
    std::optional<T> result;
    reportStalls(job, timeout, [&] {
        job.stopWaiting();
        stopped();
        exitNow(1);
    });
    const quint64 id = job.begin(watching);
    runOnOwnThread(
        &job, [work, step = job.step()] { return work(step); },
        [&](const Outcome<T>& outcome) {
            if (!job.finish(id))
                return;
            if (outcome.ok())
                result = *outcome.value;
            else
                err() << "tovi: " << outcome.error << '\n' << Qt::flush;
            loop.quit();
        });
    loop.exec();
    return result;
}

// As reportStalls, for a model that watches its own device work (stalled, stopWaiting): when
// the wait ends, the model's error is printed and the process ends.
template <typename Model> void reportStalls(Model& model, std::optional<double> timeout) {
    auto* timer = new QTimer(&model);
    timer->setSingleShot(true);
    QObject::connect(timer, &QTimer::timeout, &model, [&model] {
        model.stopWaiting();
        err() << "tovi: " << model.error() << '\n';
        exitNow(1);
    });
    QObject::connect(&model, &Model::stalledChanged, timer, [&model, timer, timeout] {
        if (model.stalled()) {
            err() << "tovi: " << DeviceWatch::stalledText() << '\n' << Qt::flush;
            if (timeout)
                timer->start(static_cast<int>(*timeout * 1000));
        } else {
            timer->stop();
        }
    });
}

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
