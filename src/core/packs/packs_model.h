#pragma once

#include "app/latest_request.h"
#include "app/product.h"
#include "app/resource_bundle.h"
#include "app/tovi_error.h"
#include "device/device_job.h"
#include "packs/own_pack.h"
#include "packs/own_pack_library.h"
#include "packs/starter_pack.h"

#include <QImage>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QUuid>
#include <array>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace tovi {

class Settings;

// The six 600 × 600 card previews of the selected pack, by slot.
using CardImages = std::map<int, QImage>;

// The model of the six-card mode: the collection, the selected pack and card, the user's edits
// of every card, the six previews, and the send and factory-restore flow. Confined to the
// interface thread; rendering, imports and device work run on the thread pool and publish back
// here. Empty strings stand for "nothing".
class PacksModel : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::vector<tovi::StarterPack> packs READ packs NOTIFY packsChanged)
    Q_PROPERTY(QString selectedID READ selectedID NOTIFY selectedIDChanged)
    Q_PROPERTY(int slot READ slot NOTIFY slotChanged)
    Q_PROPERTY(tovi::PackEdits edits READ edits NOTIFY editsChanged)
    Q_PROPERTY(tovi::CardImages images READ images NOTIFY imagesChanged)
    Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)
    Q_PROPERTY(QString message READ message NOTIFY messageChanged)
    Q_PROPERTY(QString error READ error NOTIFY errorChanged)
    Q_PROPERTY(QString destination READ destination NOTIFY destinationChanged)
    Q_PROPERTY(tovi::PackReveal animation READ animation WRITE setAnimation NOTIFY animationChanged)
    Q_PROPERTY(QStringList exported READ exported NOTIFY exportedChanged)
    Q_PROPERTY(QString lastBackup READ lastBackup NOTIFY lastBackupChanged)
    Q_PROPERTY(bool stalled READ stalled NOTIFY stalledChanged)
    Q_PROPERTY(std::vector<tovi::OwnPack> ownPacks READ ownPacks NOTIFY ownPacksChanged)

public:
    static constexpr int previewSize = 600;
    static constexpr int maxTitleLength = 40;
    static constexpr int maxSubtitleLength = 70;

    // Loads the collection from `bundle`, restores the edits, selection, destination and last
    // backup, and starts rendering the six previews.
    explicit PacksModel(Settings& settings, ResourceBundle bundle = ResourceBundle::main(),
                        QObject* parent = nullptr);
    ~PacksModel() override;

    // The pack storage folder, "Packs" in the working folder, created when missing.
    // Throws PlatformError.
    static QString storage();
    // Where the copy of Game1 taken before each installation goes: "Backups" in the storage
    // folder. Throws PlatformError.
    static QString backups();

    const std::vector<StarterPack>& packs() const { return m_packs; }
    const QString& selectedID() const { return m_selectedID; }
    int slot() const { return m_slot; }
    const PackEdits& edits() const { return m_edits; }
    const CardImages& images() const { return m_images; }
    bool busy() const { return m_busy; }
    const QString& message() const { return m_message; }
    const QString& error() const { return m_error; }
    // What kind of failure `error` tells: a full Tovi is offered a way to make room.
    FailureKind errorKind() const { return m_errorKind; }
    const QString& destination() const { return m_destination; }
    PackReveal animation() const { return m_animation; }
    const QStringList& exported() const { return m_exported; }
    const QString& lastBackup() const { return m_lastBackup; }
    // The Tovi has not answered an installation for a while (DeviceWatch).
    bool stalled() const { return m_install.stalled(); }

    // The user's own packs ("Moje zestawy"), in name order; the collection lists them first.
    // They are chosen with selectPack and edited like the starter packs: their saved cards are
    // what a reset brings back, and they keep their animation. Saved, shared, renamed, deleted
    // and restored through the library; a pack that goes while selected leaves the first
    // starter pack selected.
    const std::vector<OwnPack>& ownPacks() const { return m_library.packs(); }
    OwnPackLibrary& library() { return m_library; }
    const OwnPackLibrary& library() const { return m_library; }

    // The selected pack (a starter pack or an own pack's info()); null when none.
    const StarterPack* pack() const;
    // The own pack `id`; null for a starter pack or none.
    const OwnPack* ownPack(const QString& id) const { return m_library.find(id); }
    // The six cards of pack `id` (own or starter) as they stand, with the user's edits and the
    // animation that goes with them. Throws OwnPackError::unknownPack, or the error of a missing
    // picture.
    PackContent content(const QString& id) const;
    // The card key of the current card.
    QString key() const;
    // The current card's stored edit, or its default.
    PackCardEdit edit() const;
    // Card `slot`'s, likewise.
    PackCardEdit editOf(int slot) const;
    // The current card's preview; null when not rendered yet.
    QImage preview() const;

    // Also forgets the prepared files.
    void setAnimation(PackReveal animation);
    // The alert's "OK".
    void clearError();
    // Shows a failure that happened around the model (a file dialog that failed).
    void reportError(const QString& error);

    void selectPack(const QString& id);
    void selectCard(int slot);
    // Selects a card at random and says which, as the device's draw would.
    void randomCard();
    // Applies `change` to the current card's edit, stores it and redraws.
    void update(const std::function<void(PackCardEdit&)>& change);
    void resetCard();
    // Makes the user's picture the current card's source.
    void importImage(const QUrl& url);
    // Crop gestures on the current card, as in the studio.
    void pan(double dx, double dy, double size);
    void zoom(double delta, bool precise);
    void magnify(double scale);
    // Re-renders the six previews in the background; only the newest rendering publishes.
    void refreshImages();

    // Accepts and remembers the device folder for the six cards (Game1 or the device root).
    void chooseDestination(const QString& folder);
    // Renders the six cards (or takes the factory set), writes them to a fresh export folder and,
    // with `install`, installs them in Game1 with a backup. Returns at once.
    void prepare(bool install, bool factory);
    // While stalled: stops waiting for the Tovi. busy clears at once and `error` names the
    // backup folder; the abandoned installation stops, putting back what it wrote, as soon as
    // the call it is blocked in returns, and only then lets go of Game1.
    void stopWaiting();

    // How long the Tovi may stay silent before `stalled`.
    void setPatience(std::chrono::milliseconds patience) { m_install.setPatience(patience); }

signals:
    void packsChanged();
    void selectedIDChanged();
    void slotChanged();
    void editsChanged();
    void imagesChanged();
    void busyChanged();
    void messageChanged();
    void errorChanged();
    void destinationChanged();
    void animationChanged();
    void exportedChanged();
    void lastBackupChanged();
    void stalledChanged();
    void ownPacksChanged();

private:
    void setBusy(bool busy);
    void setMessage(const QString& message);
    void setError(const QString& error);
    void setFailure(const QString& error, FailureKind kind);
    void setExported(const QStringList& exported);
    // What the installation under way reported from its thread.
    void installProgress(bool started, const QString& backup, const QStringList& removed);
    // The six cards rendered and written (and, with `install`, installed): says how it went.
    struct Prepared;
    void finishPrepare(quint64 job, bool install, bool factory, const Outcome<Prepared>& outcome);
    void setSelectedID(const QString& id);
    void setSlot(int slot);
    void setEdits(const PackEdits& edits);
    // Writes "edits.json"; throws what the write throws.
    void storeEdits(const PackEdits& edits);
    // Stores `edits` and makes them the model's (the prepared files are then stale); on failure
    // shows the error and changes nothing.
    bool commitEdits(const PackEdits& edits);
    // The picture a card is drawn from: its custom picture in the storage folder, or the
    // pack's artwork. Throws.
    QString sourceOf(const PackCardEdit& edit, int slot) const;
    // As above, for a card of any pack.
    PackCardEdit editOf(int slot, const QString& id) const;
    QString sourceOf(const PackCardEdit& edit, int slot, const QString& id) const;
    const StarterPack* find(const QString& id) const;
    static QString uuidText();
    // The decoded picture `source`, decoded into `originals` when not there yet.
    static const QImage& cachedOriginal(std::map<QString, QImage>& originals,
                                        const QString& source);
    // Selects pack `id`, which exists.
    void choose(const QString& id);
    // The library's packs changed.
    void followOwnPacks();
    // The six cards of the selected pack as they stand: edits and source pictures. Nothing (and
    // the error shown) when a picture cannot be found.
    struct Cards {
        std::array<PackCardEdit, Product::cardCount> edits;
        std::array<QString, Product::cardCount> sources;
    };
    std::optional<Cards> currentCards();

    Settings& m_settings;
    ResourceBundle m_bundle;
    std::vector<StarterPack> m_packs;
    OwnPackLibrary m_library;
    std::vector<StarterPack> m_ownInfos; // the own packs as pack() hands them out
    QString m_selectedID = QStringLiteral("albums");
    int m_slot = 0;
    PackEdits m_edits;
    CardImages m_images;
    bool m_busy = false;
    QString m_message;
    QString m_error;
    FailureKind m_errorKind = FailureKind::other;
    QString m_destination;
    PackReveal m_animation = PackReveal::reveal;
    QStringList m_exported;
    QString m_lastBackup;

    // The running send or export.
    DeviceJob m_install;
    QString m_pendingBackup;

    LatestRequest m_renders; // the six previews: only the newest rendering publishes
    std::map<QString, QImage> m_originals;
    // A six-card rendering is under way and has not published yet.
    bool m_rendering = false;
    // Set when "edits.json" could not be decoded at start-up: it is moved aside before anything
    // is written over it, so the user's edits can still be recovered.
    bool m_editsUnreadable = false;
};

} // namespace tovi
