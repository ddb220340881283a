#include "own_pack_library.h"

#include "packs/pack_file.h"

#include <QFileInfo>
#include <algorithm>
#include <utility>

namespace tovi {
namespace {

OwnPackStore::Taken takenBy(const OwnPackStore::Listing& listing,
                            const OwnPackStore::Taken& starters) {
    return {starters.ids, listing.names(starters.names)};
}

} // namespace

OwnPackLibrary::OwnPackLibrary(QObject* parent)
    : QObject(parent) {}

void OwnPackLibrary::open(const std::vector<StarterPack>& starters) {
    m_starters = {};
    for (const StarterPack& pack : starters) {
        m_starters.ids.insert(pack.id);
        m_starters.names << pack.name;
    }
    try {
        m_listing = OwnPackStore::load();
    } catch (const ToviError&) {
        m_listing = {}; // no working folder: no own packs to show
    }
    emit changed();
}

const OwnPackStore::Damaged* OwnPackLibrary::findDamaged(const QString& id) const {
    const auto found =
        std::find_if(m_listing.damaged.begin(), m_listing.damaged.end(),
                     [&](const OwnPackStore::Damaged& damaged) { return damaged.id == id; });
    return found == m_listing.damaged.end() ? nullptr : &*found;
}

void OwnPackLibrary::enqueue(std::function<void()> start) {
    const bool was = busy();
    m_waiting.push_back(std::move(start));
    if (!m_running)
        startNext();
    if (!was)
        emit busyChanged();
}

void OwnPackLibrary::startNext() {
    if (m_waiting.empty())
        return;
    m_running = true;
    const std::function<void()> start = std::move(m_waiting.front());
    m_waiting.pop_front();
    start();
}

void OwnPackLibrary::finished(const std::function<void()>& tell) {
    m_running = false;
    // Not busy when told, unless more is waiting: what is told may start the next change.
    if (!busy())
        emit busyChanged();
    tell();
    if (!m_running)
        startNext();
}

template <typename Result>
void OwnPackLibrary::change(
    std::function<Result(OwnPackStore::Listing&, const OwnPackStore::Taken&)> work,
    Done<Result> done) {
    using Made = std::pair<Result, OwnPackStore::Listing>;
    enqueue([this, work = std::move(work), done = std::move(done)] {
        runInBackground(
            this,
            [work, starters = m_starters] {
                Made made;
                made.second = OwnPackStore::load();
                made.first = work(made.second, starters);
                return made;
            },
            [this, done](const Outcome<Made>& outcome) {
                Outcome<Result> result;
                result.error = outcome.error;
                result.errorKind = outcome.errorKind;
                result.cancelled = outcome.cancelled;
                if (outcome.ok()) {
                    m_listing = outcome.value->second;
                    result.value = outcome.value->first;
                    emit changed();
                }
                finished([&] {
                    if (done)
                        done(result);
                });
            });
    });
}

void OwnPackLibrary::save(const PackContent& content, Done<Saved> done) {
    change<Saved>(
        [content](OwnPackStore::Listing& listing, const OwnPackStore::Taken& starters) {
            const OwnPack pack = OwnPackStore::save(content, takenBy(listing, starters));
            listing.put(pack);
            return Saved{pack.id, pack.content.name};
        },
        std::move(done));
}

void OwnPackLibrary::importFile(const QString& file, Done<Imported> done) {
    change<Imported>(
        [file](OwnPackStore::Listing& listing, const OwnPackStore::Taken& starters) {
            const OwnPack pack = OwnPackStore::importFile(file, takenBy(listing, starters));
            listing.put(pack);
            return Imported{pack.id, pack.content.name};
        },
        std::move(done));
}

void OwnPackLibrary::exportPack(const PackContent& content, const QString& file,
                                Done<Exported> done) {
    enqueue([this, content, file, done = std::move(done)] {
        runInBackground(
            this,
            [content, file] {
                PackFile::write(content, file);
                return Exported{content.name, file};
            },
            [this, done](const Outcome<Exported>& outcome) {
                finished([&] {
                    if (done)
                        done(outcome);
                });
            });
    });
}

void OwnPackLibrary::rename(const QString& id, const QString& name, Done<Renamed> done) {
    change<Renamed>(
        [id, name](OwnPackStore::Listing& listing, const OwnPackStore::Taken& starters) {
            const OwnPack pack = OwnPackStore::rename(id, name, listing.names(starters.names));
            listing.put(pack);
            return Renamed{pack.id, pack.content.name};
        },
        std::move(done));
}

void OwnPackLibrary::setAnimation(const QString& id, PackReveal animation,
                                  Done<std::monostate> done) {
    change<std::monostate>(
        [id, animation](OwnPackStore::Listing& listing, const OwnPackStore::Taken&) {
            listing.put(OwnPackStore::setAnimation(id, animation));
            return std::monostate{};
        },
        std::move(done));
}

void OwnPackLibrary::remove(const QString& id, Done<Removed> done) {
    change<Removed>(
        [id](OwnPackStore::Listing& listing, const OwnPackStore::Taken&) {
            Removed removed;
            if (const OwnPack* pack = listing.find(id)) {
                removed.name = pack->content.name;
            } else {
                const auto damaged =
                    std::find_if(listing.damaged.begin(), listing.damaged.end(),
                                 [&](const OwnPackStore::Damaged& each) { return each.id == id; });
                if (damaged == listing.damaged.end())
                    throw OwnPackError(OwnPackError::unknownPack, id);
                removed.name = damaged->name.isEmpty() ? id : damaged->name;
                removed.restorable = false;
            }
            removed.folder = OwnPackStore::remove(id);
            listing.forget(id);
            return removed;
        },
        std::move(done));
}

void OwnPackLibrary::restore(const QString& removedFolder, Done<Restored> done) {
    change<Restored>(
        [removedFolder](OwnPackStore::Listing& listing, const OwnPackStore::Taken& starters) {
            const OwnPack pack = OwnPackStore::restore(removedFolder, takenBy(listing, starters));
            listing.put(pack);
            return Restored{pack.id, pack.content.name};
        },
        std::move(done));
}

QString OwnPackLibrary::text(const Saved& saved) {
    return QStringLiteral("Zapisano zestaw „%1” w Moich zestawach.").arg(saved.name);
}

QString OwnPackLibrary::text(const Imported& imported) {
    return QStringLiteral("Zaimportowano zestaw „%1”. Jest teraz w Moich zestawach.")
        .arg(imported.name);
}

QString OwnPackLibrary::text(const Exported& exported) {
    return QStringLiteral("Zapisano zestaw „%1” w pliku %2. Przekaż go komuś, kto ma Tovi.")
        .arg(exported.name, QFileInfo(exported.file).fileName());
}

QString OwnPackLibrary::text(const Renamed& renamed) {
    return QStringLiteral("Zmieniono nazwę zestawu na „%1”.").arg(renamed.name);
}

QString OwnPackLibrary::text(const Removed& removed) {
    return QStringLiteral("Zestaw „%1” przeniesiono do folderu „Usunięte zestawy”. Można go "
                          "stamtąd przywrócić.")
        .arg(removed.name);
}

QString OwnPackLibrary::text(const Restored& restored) {
    return QStringLiteral("Przywrócono zestaw „%1”.").arg(restored.name);
}

} // namespace tovi
