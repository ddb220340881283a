#pragma once

#include "app/background_task.h"
#include "packs/own_pack.h"
#include "packs/own_pack_store.h"
#include "packs/starter_pack.h"

#include <QObject>
#include <QString>
#include <deque>
#include <functional>
#include <variant>
#include <vector>

namespace tovi {

// The user's own packs as the window and the command line keep them: the store's listing, and
// each change made on the worker threads, one after another, reading the store once and
// answering with what it did. Confined to the interface thread; every answer comes there,
// after `changed` when the listing changed, and not at all once the library is gone.
class OwnPackLibrary : public QObject {
    Q_OBJECT
public:
    struct Saved {
        QString id;
        QString name;
    };
    struct Imported {
        QString id;
        QString name;
    };
    struct Exported {
        QString name;
        QString file;
    };
    struct Renamed {
        QString id;
        QString name;
    };
    struct Removed {
        QString folder;
        QString name;
        bool restorable = true; // false for a damaged pack's folder
    };
    struct Restored {
        QString id;
        QString name;
    };
    template <typename Result> using Done = std::function<void(const Outcome<Result>&)>;

    explicit OwnPackLibrary(QObject* parent = nullptr);

    // Lists the store now, on this thread (at start-up, before anything is shown); no own pack
    // takes the id or the name of one of `starters`. Empty when there is no working folder.
    void open(const std::vector<StarterPack>& starters);

    const std::vector<OwnPack>& packs() const { return m_listing.packs; }
    const std::vector<OwnPackStore::Damaged>& damaged() const { return m_listing.damaged; }
    const OwnPack* find(const QString& id) const { return m_listing.find(id); }
    const OwnPackStore::Damaged* findDamaged(const QString& id) const;
    // A change is under way or waiting.
    bool busy() const { return m_running || !m_waiting.empty(); }

    void save(const PackContent& content, Done<Saved> done);
    void importFile(const QString& file, Done<Imported> done);
    // Writes the pack file; the store is not touched.
    void exportPack(const PackContent& content, const QString& file, Done<Exported> done);
    void rename(const QString& id, const QString& name, Done<Renamed> done);
    void setAnimation(const QString& id, PackReveal animation, Done<std::monostate> done);
    // Moves the pack (or a damaged pack's folder) to "Usunięte zestawy".
    void remove(const QString& id, Done<Removed> done);
    void restore(const QString& removedFolder, Done<Restored> done);

    // What is said once it is done.
    static QString text(const Saved& saved);
    static QString text(const Imported& imported);
    static QString text(const Exported& exported);
    static QString text(const Renamed& renamed);
    static QString text(const Removed& removed);
    static QString text(const Restored& restored);

signals:
    void changed();
    void busyChanged();

private:
    // Runs `work` on the listing the store gives now, off this thread, after the changes before
    // it; `work` changes the store and the listing alike.
    template <typename Result>
    void change(std::function<Result(OwnPackStore::Listing&, const OwnPackStore::Taken&)> work,
                Done<Result> done);
    void enqueue(std::function<void()> start);
    void startNext();
    // The running change is over: says so with `tell`, then starts the next.
    void finished(const std::function<void()>& tell);

    OwnPackStore::Listing m_listing;
    OwnPackStore::Taken m_starters;
    std::deque<std::function<void()>> m_waiting;
    bool m_running = false; // a change is on the worker threads
};

} // namespace tovi
