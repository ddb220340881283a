#include "picture_row.h"

#include "app/background_task.h"
#include "device/album_writer.h"
#include "device/device_layout.h"
#include "media/media_error.h"
#include "media/media_processor.h"
#include "studio/media_copy.h"
#include "studio/studio_model.h"

#include <QFileInfo>
#include <QUrl>
#include <algorithm>
#include <malloc.h>
#include <optional>

namespace tovi {
namespace {

const QString unsentStopped = QStringLiteral("Nie wysłano: zapis przerwano.");
const QString unsentGone = QStringLiteral("Nie wysłano: Tovi odłączono.");

// A file let go by the row: removed unless the editor still shows it (the model removes it then).
void release(std::shared_ptr<MediaCopy>& copy) {
    if (copy && copy.use_count() == 1)
        copy->remove();
    copy.reset();
}

// A picture decoded for the row is freed at once, but glibc keeps such large blocks in the
// arena of the worker that freed them; a row of fifty photos spread over the workers kept
// some 40 MB that way. They go back to the system after each picture.
void giveBack() {
    malloc_trim(0);
}

QImage thumbnailOf(const QImage& frame) {
    if (frame.isNull())
        return {};
    const int side = PictureRow::thumbnailSize;
    const QImage scaled =
        frame.scaled(side, side, Qt::KeepAspectRatioByExpanding, Qt::SmoothTransformation);
    return scaled.copy((scaled.width() - side) / 2, (scaled.height() - side) / 2, side, side)
        .convertToFormat(QImage::Format_RGB32);
}

// The settings a picture starts with the first time it is shown: those of the one before it,
// centred, with what does not apply to its kind of media put right.
ExportOptions carried(const ExportOptions& before, const MediaInfo& previous,
                      const MediaInfo& media) {
    const ExportOptions fresh = StudioModel::freshOptions(media);
    ExportOptions options = before;
    options.crop.x = 0;
    options.crop.y = 0;
    if (media.animated != previous.animated) { // a still's fragment means nothing to a film
        options.format = fresh.format;
        options.start = fresh.start;
        options.length = fresh.length;
    }
    if (media.animated) {
        options.rotation = false;
        options.start = std::clamp(options.start, 0.0, std::max(media.duration - 0.1, 0.0));
        options.length = std::clamp(options.length, std::min(0.1, media.duration),
                                    std::max(std::min(media.duration - options.start, 8.0), 0.1));
    } else {
        options.start = fresh.start;
        options.length = fresh.length;
        if (options.rotation)
            options.format = OutputFormat::gif;
    }
    return options;
}

} // namespace

struct PictureRow::Job {
    QString label;
    std::shared_ptr<MediaCopy> copy;
    ExportOptions options;
    std::optional<QByteArray> ready; // made ahead for exactly these settings
};

PictureRow::PictureRow(StudioModel& model, QObject* parent)
    : QObject(parent)
    , m_model(model) {
    connect(&m_model, &StudioModel::destinationChanged, this, &PictureRow::destinationChanged);
    connect(&m_job, &DeviceJob::stalledChanged, this, &PictureRow::stalledChanged);
}

PictureRow::~PictureRow() {
    dropLines();
    for (Item& item : m_items)
        release(item.copy);
}

// A line keeps its picture's copy for "Ponów", also once the picture has left the row.
void PictureRow::dropLines() {
    for (Line& line : m_lines)
        release(line.copy);
    m_lines.clear();
}

const QString& PictureRow::destination() const {
    return m_model.destination();
}

int PictureRow::indexOf(const MediaCopy* copy) const {
    for (int i = 0; i < count(); ++i)
        if (m_items[size_t(i)].copy.get() == copy)
            return i;
    return -1;
}

ExportOptions PictureRow::optionsOf(int index) const {
    const Item& item = m_items[size_t(index)];
    if (item.copy.get() == m_shown)
        return m_model.options();
    if (item.chosen || index == 0)
        return item.chosen ? item.options : StudioModel::freshOptions(item.media);
    return carried(optionsOf(index - 1), m_items[size_t(index - 1)].media, item.media);
}

QString PictureRow::sendLabel() const {
    return count() > 1 ? QStringLiteral("Wyślij na Tovi (%1)").arg(count())
                       : QStringLiteral("Wyślij na Tovi");
}

QString PictureRow::spokenName(int index) const {
    return QStringLiteral("Obraz %1 z %2: %3")
        .arg(index + 1)
        .arg(count())
        .arg(m_items[size_t(index)].label);
}

// --- the row ------------------------------------------------------------------------------------

void PictureRow::add(const QStringList& files) {
    if (files.isEmpty() || busy() || m_model.busy())
        return;
    const bool row = count() > 1;
    if (!row) {
        for (Item& item : m_items)
            release(item.copy);
        m_items.clear();
        m_selected = -1;
        m_shown = nullptr;
        dropLines();
        emit changed();
        emit linesChanged();
    }
    if (!row && files.size() == 1) {
        m_model.importMedia(QUrl::fromLocalFile(files.front()));
        return;
    }
    m_newRow = !row;
    m_pending = files;
    m_unreadable.clear();
    setImporting(true);
    importNext();
}

void PictureRow::importNext() {
    if (m_pending.isEmpty()) {
        setImporting(false);
        if (!m_unreadable.isEmpty())
            m_model.reportError(m_unreadable.join(QLatin1Char('\n')));
        return;
    }
    const QString source = m_pending.takeFirst();
    const QString label = QFileInfo(source).fileName();
    runInBackground(
        this,
        [source, label] {
            InspectedCopy imported = InspectedCopy::of(source);
            Item item{label, std::move(imported.copy), std::move(imported.media), {}, {}, false};
            item.thumbnail = thumbnailOf(item.media.frame);
            item.media.frame = {}; // decoded again when shown: a row of photos stays small
            giveBack();
            return item;
        },
        [this, label](const Outcome<Item>& imported) {
            if (imported.ok()) {
                m_items.push_back(*imported.value);
                emit changed();
                if (m_selected < 0)
                    select(0);
            } else {
                m_unreadable << label + QStringLiteral(": ") + imported.error;
            }
            importNext();
        });
}

void PictureRow::keepShownOptions() {
    if (const int shown = indexOf(m_shown); shown >= 0)
        m_items[size_t(shown)].options = m_model.options();
}

void PictureRow::select(int index) {
    if (index < 0 || index >= count() || index == m_selected || m_sending || m_model.busy())
        return;
    keepShownOptions();
    Item& item = m_items[size_t(index)];
    if (!item.chosen) {
        item.options = optionsOf(index);
        item.chosen = true;
    }
    m_selected = index;
    emit changed();
    show(index);
}

void PictureRow::show(int index) {
    const Item& item = m_items[size_t(index)];
    const quint64 showing = ++m_showing;
    runInBackground(
        this, [url = item.media.url] { return MediaProcessor::inspect(url); },
        [this, showing, copy = item.copy](const Outcome<MediaInfo>& inspected) {
            const int at = indexOf(copy.get());
            if (showing != m_showing || at < 0)
                return; // another picture was chosen meanwhile, or this one taken out
            if (!inspected.ok()) {
                m_model.reportError(inspected.error);
                return;
            }
            keepShownOptions();
            const Item& picture = m_items[size_t(at)];
            m_shown = copy.get();
            m_model.showPicture(*inspected.value, copy, picture.label, picture.options);
        });
}

void PictureRow::move(int from, int to) {
    if (from < 0 || from >= count() || to < 0 || to >= count() || from == to || m_sending)
        return;
    const auto first = m_items.begin();
    if (from < to)
        std::rotate(first + from, first + from + 1, first + to + 1);
    else
        std::rotate(first + to, first + from, first + from + 1);
    if (m_selected == from)
        m_selected = to;
    else if (from < m_selected && m_selected <= to)
        --m_selected;
    else if (to <= m_selected && m_selected < from)
        ++m_selected;
    emit changed();
}

void PictureRow::remove(int index) {
    if (index < 0 || index >= count() || count() < 2 || m_sending || m_model.busy())
        return;
    if (index == m_selected)
        select(index + 1 < count() ? index + 1 : index - 1);
    release(m_items[size_t(index)].copy);
    m_items.erase(m_items.begin() + index);
    if (m_selected > index)
        --m_selected;
    emit changed();
}

// --- the send -----------------------------------------------------------------------------------

void PictureRow::send() {
    if (count() < 2 || busy() || m_model.busy())
        return;
    if (m_model.destination().isEmpty()) {
        setFailure(MediaError(MediaError::invalidFolder).message(), FailureKind::other);
        return;
    }
    std::vector<Job> jobs;
    std::vector<int> places;
    dropLines();
    for (int i = 0; i < count(); ++i) {
        const Item& item = m_items[size_t(i)];
        const ExportOptions options = optionsOf(i);
        std::optional<QByteArray> ready;
        if (item.copy.get() == m_shown && m_model.media())
            ready = m_model.ready().take(*m_model.media(), options);
        jobs.push_back({item.label, item.copy, options, ready});
        places.push_back(i);
        m_lines.push_back({{item.label, {}, {}, unsentStopped}, item.copy, options});
    }
    emit linesChanged();
    run(std::move(jobs), std::move(places));
}

void PictureRow::retry(int index) {
    if (index < 0 || index >= int(m_lines.size()) || busy() || m_model.busy() ||
        m_lines[size_t(index)].result.written())
        return;
    const Line& line = m_lines[size_t(index)];
    run({{line.result.label, line.copy, line.options, std::nullopt}}, {index});
}

void PictureRow::stop() {
    if (m_stop)
        m_stop->store(true);
}

void PictureRow::stopWaiting() {
    if (!m_sending || !m_job.stopWaiting())
        return;
    setFailure(QStringLiteral("Przestano czekać na Tovi. Grafiki zapisane do tej pory są całe; "
                              "sprawdź album, gdy Tovi znów odpowie."),
               FailureKind::other);
    setMessage({});
    setSending(false);
}

// Exports every job in order on a worker, then measures and writes what was made on a device
// thread; each outcome lands in m_lines at its place.
void PictureRow::run(std::vector<Job> jobs, std::vector<int> places) {
    setMessage({});
    setFailure({}, FailureKind::other);
    m_gone = false;
    const QString destination = m_model.destination();
    if (destination.isEmpty()) {
        setFailure(MediaError(MediaError::invalidFolder).message(), FailureKind::other);
        return;
    }
    setSending(true);
    m_stop = std::make_shared<std::atomic<bool>>(false);
    const auto stop = m_stop;
    const int total = int(jobs.size());
    const auto tell = [relay = InterfaceRelay(this), self = this](const QString& text) {
        relay([self, text] {
            if (self->m_sending)
                self->setMessage(text);
        });
    };
    struct Exported {
        std::vector<AlbumRow::Graphic> graphics;
        std::vector<int> places; // of each graphic
        std::vector<std::pair<int, QString>> failed;
    };
    runInBackground(
        this,
        [jobs, places, stop, tell, total] {
            Exported out;
            for (int i = 0; i < total && !stop->load(); ++i) {
                const Job& job = jobs[size_t(i)];
                tell(QStringLiteral("Przygotowuję %1 z %2").arg(i + 1).arg(total));
                try {
                    const QByteArray bytes =
                        job.ready ? MediaProcessor::checkedExport(*job.ready, job.options)
                                  : MediaProcessor::exportMedia(
                                        QUrl::fromLocalFile(job.copy->path()), job.options,
                                        [stop](int, int) { return !stop->load(); });
                    out.graphics.push_back(
                        {job.label, AlbumWriter::freshName(rawValue(job.options.format).toLower()),
                         bytes});
                    out.places.push_back(places[size_t(i)]);
                    giveBack();
                } catch (const Cancelled&) {
                    break;
                } catch (...) {
                    out.failed.emplace_back(places[size_t(i)],
                                            describeFailure(std::current_exception()));
                }
            }
            return out;
        },
        [this, stop, tell, total, destination](const Outcome<Exported>& exported) {
            if (!exported.ok()) { // nothing but a lack of memory gets here
                setFailure(exported.error, exported.errorKind);
                setSending(false);
                return;
            }
            for (const auto& [place, error] : exported.value->failed)
                m_lines[size_t(place)].result.error = error;
            if (exported.value->graphics.empty() || stop->load()) {
                finish();
                return;
            }
            struct Written {
                std::vector<AlbumRow::Result> results;
                bool gone = false;
            };
            const quint64 job = m_job.begin(true);
            const DeviceJob::Step step = m_job.step();
            const std::vector<AlbumRow::Graphic> graphics = exported.value->graphics;
            runOnOwnThread(
                this,
                [destination, selected = m_model.selectedFolder(), graphics, stop, step, tell,
                 between = m_between] {
                    // Nothing is written unless all of it fits.
                    AlbumRow::requireRoom(destination, selected, graphics);
                    Written written;
                    const int count = int(graphics.size());
                    written.results = AlbumRow::add(
                        destination, selected, graphics,
                        [&](int index) {
                            if (between)
                                between(index);
                            if (stop->load() || !step({}))
                                return false;
                            try {
                                DeviceLayout::photoFolder(destination, selected);
                            } catch (...) {
                                written.gone = true; // pulled out: the rest stays unsent
                                return false;
                            }
                            tell(QStringLiteral("Zapisuję %1 z %2").arg(index + 1).arg(count));
                            return true;
                        },
                        [&step](const AlbumRow::Result&) { step({}); });
                    return written;
                },
                [this, job, total,
                 places = exported.value->places](const Outcome<Written>& written) {
                    if (!m_job.finish(job))
                        return; // the person stopped waiting and was told
                    if (!written.ok()) {
                        // Nothing was written: the Tovi is full, or not there.
                        for (int place : places)
                            m_lines[size_t(place)].result.error = written.error;
                        if (total > 1)
                            dropLines();
                        emit linesChanged();
                        setMessage({});
                        setFailure(written.error, written.errorKind);
                        setSending(false);
                        return;
                    }
                    m_gone = written.value->gone;
                    for (size_t i = 0; i < places.size(); ++i) {
                        AlbumRow::Result& line = m_lines[size_t(places[i])].result;
                        if (i < written.value->results.size())
                            line = written.value->results[i];
                        else if (m_gone)
                            line.error = unsentGone;
                    }
                    finish();
                });
        });
}

bool PictureRow::allWritten() const {
    return std::all_of(m_lines.begin(), m_lines.end(),
                       [](const Line& line) { return line.result.written(); });
}

void PictureRow::finish() {
    emit linesChanged();
    int written = 0;
    QString album;
    for (const Line& line : m_lines)
        if (line.result.written()) {
            ++written;
            album = line.result.album;
        }
    const bool stopped = std::any_of(m_lines.begin(), m_lines.end(), [](const Line& line) {
        return line.result.error == unsentStopped;
    });
    QString after;
    if (m_gone)
        after = QStringLiteral(" Tovi odłączono w trakcie: zapisane grafiki są całe i "
                               "sprawdzone, pozostałych nie wysłano.");
    else if (stopped)
        after = QStringLiteral(" Przerwano: pozostałych nie wysłano.");
    if (written == 0) {
        setMessage({}); // not the last picture's progress
        setFailure(QStringLiteral("Nie zapisano żadnej grafiki.") + after, FailureKind::other);
    } else {
        QString text =
            QStringLiteral("Zapisano %1 z %2 do %3.").arg(written).arg(m_lines.size()).arg(album);
        if (written == int(m_lines.size()))
            text += QStringLiteral(" Wysuń dysk, przełącz Tovi w tryb DAC i otwórz album "
                                   "przyciskiem Vista.");
        setMessage(text + after);
    }
    setSending(false);
}

// --- fields -------------------------------------------------------------------------------------

void PictureRow::clearError() {
    setFailure({}, FailureKind::other);
}

void PictureRow::setSending(bool sending) {
    if (sending == m_sending)
        return;
    const bool wasBusy = busy();
    m_sending = sending;
    if (busy() != wasBusy)
        emit busyChanged();
}

void PictureRow::setImporting(bool importing) {
    if (importing == m_importing)
        return;
    const bool wasBusy = busy();
    m_importing = importing;
    if (busy() != wasBusy)
        emit busyChanged();
}

void PictureRow::setMessage(const QString& message) {
    if (message == m_message)
        return;
    m_message = message;
    emit messageChanged();
}

void PictureRow::setFailure(const QString& error, FailureKind kind) {
    m_errorKind = error.isEmpty() ? FailureKind::other : kind;
    if (error == m_error)
        return;
    m_error = error;
    emit errorChanged();
}

} // namespace tovi
