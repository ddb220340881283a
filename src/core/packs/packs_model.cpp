#include "packs_model.h"

#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/platform_error.h"
#include "app/product.h"
#include "app/published.h"
#include "app/settings.h"
#include "app/working_folder.h"
#include "device/bookmark.h"
#include "device/device_finder.h"
#include "device/device_layout.h"
#include "device/game1_installer.h"
#include "device/pack_error.h"
#include "device/scoped_access.h"
#include "device/tovi_connection_store.h"
#include "media/media_error.h"
#include "packs/pack_file.h"
#include "packs/pack_renderer.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTextBoundaryFinder>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>

namespace tovi {
namespace {

const QString editsFile = QStringLiteral("edits.json");

// The first `count` characters as a person counts them (grapheme clusters, not code units).
QString leftCharacters(const QString& text, int count) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (int i = 0; i < count; ++i)
        if (finder.toNextBoundary() < 0)
            return text;
    const qsizetype end = finder.position();
    return end < 0 ? text : text.left(end);
}

// A stored picture name is only ever a file directly inside the storage folder: a name that
// could point elsewhere ("..", a separator) is treated as a missing picture.
bool isPlainName(const QString& name) {
    return !name.isEmpty() && name != QStringLiteral(".") && name != QStringLiteral("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QChar(0));
}

void removePicture(const QString& name) {
    if (!isPlainName(name))
        return;
    try {
        QFile::remove(QDir(PacksModel::storage()).filePath(name));
    } catch (const ToviError&) {
    }
}

QString uuidText() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

// Moves an undecodable edits file aside under a name that says what it is.
void moveAside(const QString& file) {
    if (!QFileInfo::exists(file))
        return;
    const QString base = file + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString target = base;
    for (int n = 2; QFileInfo::exists(target); ++n)
        target = base + QLatin1Char('-') + QString::number(n);
    if (std::rename(QFile::encodeName(file).constData(), QFile::encodeName(target).constData()) !=
        0)
        throw PlatformError::fromErrno(errno, file);
}

struct Rendering {
    CardImages images;
    std::map<QString, QImage> originals;
};

struct Prepared {
    QStringList files;
    QString backup;
};

const QImage& cachedOriginal(std::map<QString, QImage>& originals, const QString& source) {
    auto found = originals.find(source);
    if (found == originals.end())
        found = originals.emplace(source, PackRenderer::original(source)).first;
    return found->second;
}

} // namespace

PacksModel::PacksModel(Settings& settings, ResourceBundle bundle, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_bundle(std::move(bundle)) {
    connect(&m_install, &DeviceJob::stalledChanged, this, &PacksModel::stalledChanged);
    try {
        m_packs = StarterPack::load(m_bundle);
    } catch (...) {
        m_error = describeFailure(std::current_exception());
        return;
    }
    try {
        setOwnPacks(OwnPackStore::load());
    } catch (const ToviError&) {
        // No working folder: no own packs to show.
    }
    try {
        const QByteArray bytes = readFile(QDir(storage()).filePath(editsFile));
        try {
            m_edits = decodeEdits(bytes);
        } catch (...) {
            m_error = describeFailure(std::current_exception());
            m_editsUnreadable = true;
            return;
        }
    } catch (const ToviError&) {
        // No storage folder or no edits yet: nothing to restore.
    }
    const QString stored = settings.string(Settings::packsSelected);
    if (find(stored))
        m_selectedID = stored;
    if (!pack() && !m_packs.empty())
        m_selectedID = m_packs.front().id;
    if (const OwnPack* own = ownPack(m_selectedID))
        m_animation = own->content.animation;
    if (const auto folder = ToviConnectionStore::resolve(settings, Settings::packsDestination))
        m_destination = *folder;
    const QString backup = settings.string(Settings::packsLastBackup);
    if (!backup.isEmpty() && QFileInfo::exists(backup))
        m_lastBackup = backup;
    refreshImages();
}

PacksModel::~PacksModel() = default;

QString PacksModel::storage() {
    const QString folder = QDir(WorkingFolder::path()).filePath(QStringLiteral("Packs"));
    if (!QDir().mkpath(folder))
        throw PlatformError::fromErrno(errno ? errno : EACCES, folder);
    return folder;
}

QString PacksModel::backups() {
    return QDir(storage()).filePath(QStringLiteral("Backups"));
}

// --- fields -------------------------------------------------------------------------------------

const StarterPack* PacksModel::pack() const {
    return find(m_selectedID);
}

const StarterPack* PacksModel::find(const QString& id) const {
    for (const auto* packs : {&m_packs, &m_ownInfos})
        for (const StarterPack& pack : *packs)
            if (pack.id == id)
                return &pack;
    return nullptr;
}

const OwnPack* PacksModel::ownPack(const QString& id) const {
    const auto found = std::find_if(m_ownPacks.begin(), m_ownPacks.end(),
                                    [&](const OwnPack& pack) { return pack.id == id; });
    return found == m_ownPacks.end() ? nullptr : &*found;
}

QString PacksModel::key() const {
    return cardKey(m_selectedID, m_slot);
}

PackCardEdit PacksModel::editOf(int slot) const {
    return editOf(slot, m_selectedID);
}

PackCardEdit PacksModel::editOf(int slot, const QString& id) const {
    const auto stored = m_edits.find(cardKey(id, slot));
    if (stored != m_edits.end())
        return stored->second;
    if (const OwnPack* own = ownPack(id))
        return own->card(slot);
    return PackCardEdit::defaults(find(id), slot);
}

PackCardEdit PacksModel::edit() const {
    return editOf(m_slot);
}

QImage PacksModel::preview() const {
    const auto found = m_images.find(m_slot);
    return found == m_images.end() ? QImage() : found->second;
}

void PacksModel::setAnimation(PackReveal animation) {
    if (animation != m_animation) {
        m_animation = animation;
        emit animationChanged();
        // An own pack keeps its animation.
        for (OwnPack& own : m_ownPacks)
            if (own.id == m_selectedID) {
                try {
                    own = OwnPackStore::setAnimation(own.id, animation);
                } catch (...) {
                    setError(describeFailure(std::current_exception()));
                }
            }
    }
    setExported({});
}

void PacksModel::clearError() {
    setError({});
}

void PacksModel::reportError(const QString& error) {
    setError(error);
}

void PacksModel::setBusy(bool busy) {
    publish(this, m_busy, busy, &PacksModel::busyChanged);
}

void PacksModel::setMessage(const QString& message) {
    publish(this, m_message, message, &PacksModel::messageChanged);
}

void PacksModel::setError(const QString& error) {
    publish(this, m_error, error, &PacksModel::errorChanged);
}

void PacksModel::setExported(const QStringList& exported) {
    publish(this, m_exported, exported, &PacksModel::exportedChanged);
}

void PacksModel::setSelectedID(const QString& id) {
    publish(this, m_selectedID, id, &PacksModel::selectedIDChanged);
}

void PacksModel::setSlot(int slot) {
    publish(this, m_slot, slot, &PacksModel::slotChanged);
}

void PacksModel::setEdits(const PackEdits& edits) {
    m_edits = edits;
    emit editsChanged();
}

void PacksModel::storeEdits(const PackEdits& edits) {
    const QString file = QDir(storage()).filePath(editsFile);
    if (m_editsUnreadable) {
        moveAside(file);
        m_editsUnreadable = false;
    }
    atomicWrite(file, encodeEdits(edits));
}

bool PacksModel::commitEdits(const PackEdits& edits) {
    try {
        storeEdits(edits);
    } catch (...) {
        setError(describeFailure(std::current_exception()));
        return false;
    }
    setEdits(edits);
    setExported({});
    return true;
}

QString PacksModel::sourceOf(const PackCardEdit& edit, int slot) const {
    return sourceOf(edit, slot, m_selectedID);
}

QString PacksModel::sourceOf(const PackCardEdit& edit, int slot, const QString& id) const {
    if (edit.customImage) {
        if (!isPlainName(*edit.customImage))
            throw MediaError(MediaError::unreadable);
        return QDir(storage()).filePath(*edit.customImage);
    }
    // An own pack's pictures are its artwork.
    if (const OwnPack* own = ownPack(id))
        return own->content.pictures.at(size_t(slot));
    const StarterPack* selected = find(id);
    if (!selected)
        throw PackError(PackError::missingResource);
    return selected->artwork(slot, m_bundle);
}

std::optional<PacksModel::Cards> PacksModel::currentCards() {
    Cards cards;
    try {
        for (int slot = 0; slot < Product::cardCount; ++slot) {
            cards.edits[size_t(slot)] = editOf(slot);
            cards.sources[size_t(slot)] = sourceOf(cards.edits[size_t(slot)], slot);
        }
    } catch (...) {
        setError(describeFailure(std::current_exception()));
        return std::nullopt;
    }
    return cards;
}

// --- selection ----------------------------------------------------------------------------------

void PacksModel::selectPack(const QString& id) {
    if (m_busy || !find(id))
        return;
    setSelectedID(id);
    if (const OwnPack* own = ownPack(id); own && own->content.animation != m_animation) {
        m_animation = own->content.animation;
        emit animationChanged();
    }
    setSlot(0);
    setExported({});
    setMessage({});
    m_settings.setString(Settings::packsSelected, id);
    refreshImages();
}

void PacksModel::selectCard(int slot) {
    if (m_busy || slot < 0 || slot > 5)
        return;
    setSlot(slot);
}

void PacksModel::randomCard() {
    selectCard(QRandomGenerator::global()->bounded(Product::cardCount));
    setMessage(QStringLiteral("Podgląd losowania: ") + edit().title +
               QStringLiteral(". Powtórzenia są możliwe."));
}

// --- edits --------------------------------------------------------------------------------------

void PacksModel::update(const std::function<void(PackCardEdit&)>& change) {
    if (m_busy)
        return;
    PackCardEdit changed = edit();
    change(changed);
    changed.title = leftCharacters(changed.title, maxTitleLength);
    changed.subtitle = leftCharacters(changed.subtitle, maxSubtitleLength);
    PackEdits edits = m_edits;
    edits[key()] = changed;
    if (!commitEdits(edits))
        return;
    if (!pack())
        return;
    QString source;
    try {
        source = sourceOf(changed, m_slot);
    } catch (const ToviError&) {
        refreshImages();
        return;
    }
    const auto original = m_originals.find(source);
    if (original == m_originals.end()) {
        refreshImages();
        return;
    }
    // Drawn here at once; a rendering still running would publish older edits, so it never does.
    m_renderID = QUuid::createUuid();
    try {
        m_images[m_slot] = PackRenderer::image(original->second, changed, m_slot, previewSize);
        emit imagesChanged();
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
    // That rendering was the only one bringing the other five cards up to date (a new pack's,
    // say): start it again with this edit included.
    if (m_rendering)
        refreshImages();
}

void PacksModel::resetCard() {
    if (m_busy)
        return;
    const std::optional<QString> picture = edit().customImage;
    PackEdits edits = m_edits;
    edits.erase(key());
    if (!commitEdits(edits))
        return;
    refreshImages();
    if (picture)
        removePicture(*picture);
}

void PacksModel::importImage(const QUrl& url) {
    if (m_busy)
        return;
    const QString cardKey = key();
    const std::optional<QString> old = edit().customImage;
    setBusy(true);
    setError({});
    QString folder;
    try {
        folder = storage();
    } catch (...) {
        setError(describeFailure(std::current_exception()));
        setBusy(false);
        return;
    }
    const QString source = url.toLocalFile();
    const QString suffix = QFileInfo(source).suffix();
    const QString name = uuidText() + (suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix);
    const QString target = QDir(folder).filePath(name);
    runInBackground(
        this,
        [source, target] {
            const ScopedAccess access(source);
            QImage picture = PackRenderer::original(source);
            copyFile(source, target);
            return picture;
        },
        [this, cardKey, old, name, target](const Outcome<QImage>& outcome) {
            if (!outcome.ok()) {
                setError(outcome.error);
                setBusy(false);
                return;
            }
            const PackCardEdit current = edit();
            const PackCardEdit changed{current.title, current.subtitle, current.captions, name,
                                       CropSettings{}};
            PackEdits edits = m_edits;
            edits[cardKey] = changed;
            if (!commitEdits(edits)) {
                QFile::remove(target);
                setBusy(false);
                return;
            }
            // The copy holds the same bytes: its decoded picture is already at hand.
            m_originals[target] = *outcome.value;
            refreshImages();
            if (old)
                removePicture(*old);
            setBusy(false);
        });
}

// --- gestures -----------------------------------------------------------------------------------

void PacksModel::pan(double dx, double dy, double size) {
    if (!pack())
        return;
    QString source;
    try {
        source = sourceOf(edit(), m_slot);
    } catch (const ToviError&) {
        return;
    }
    const auto original = m_originals.find(source);
    if (original == m_originals.end())
        return;
    const QSizeF picture = original->second.size();
    update([&](PackCardEdit& edit) { edit.crop = edit.crop.panned(dx, dy, size, picture); });
}

void PacksModel::zoom(double delta, bool precise) {
    update([&](PackCardEdit& edit) { edit.crop = edit.crop.zoomed(delta, precise); });
}

void PacksModel::magnify(double scale) {
    update([&](PackCardEdit& edit) { edit.crop = edit.crop.magnified(scale); });
}

// --- rendering ----------------------------------------------------------------------------------

void PacksModel::refreshImages() {
    if (!pack())
        return;
    m_renderID = QUuid::createUuid();
    const QUuid token = m_renderID;
    const std::optional<Cards> cards = currentCards();
    if (!cards)
        return;
    const auto& edits = cards->edits;
    const auto& sources = cards->sources;
    m_rendering = true;
    runInBackground(
        this,
        [edits, sources, originals = m_originals]() mutable {
            Rendering result;
            for (int slot = 0; slot < Product::cardCount; ++slot) {
                const QImage& original = cachedOriginal(originals, sources[size_t(slot)]);
                result.images[slot] =
                    PackRenderer::image(original, edits[size_t(slot)], slot, previewSize);
            }
            result.originals = std::move(originals);
            return result;
        },
        [this, token](const Outcome<Rendering>& outcome) {
            if (token != m_renderID)
                return;
            m_rendering = false;
            if (!outcome.ok()) {
                setError(outcome.error);
                return;
            }
            m_originals = outcome.value->originals;
            m_images = outcome.value->images;
            emit imagesChanged();
        });
}

// --- send and factory restore -------------------------------------------------------------------

void PacksModel::chooseDestination(const QString& folder) {
    const ScopedAccess access(folder);
    try {
        DeviceFinder::folderFor(ToviTransferKind::cards, folder, {});
        const QByteArray bookmark = Bookmark::make(folder);
        m_settings.setBytes(Settings::packsDestination, bookmark);
        ToviConnectionStore::rememberRoot(folder, bookmark, m_settings);
        if (folder != m_destination) {
            m_destination = folder;
            emit destinationChanged();
        }
        setMessage(QStringLiteral("Wybrano folder. Sześć plików zostanie podmienionych dopiero po "
                                  "wybraniu Wgraj zestaw."));
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
}

void PacksModel::prepare(bool install, bool factory) {
    const StarterPack* selected = pack();
    if (m_busy || !selected)
        return;
    const std::optional<Cards> cards = currentCards();
    if (!cards)
        return;
    const auto& edits = cards->edits;
    const auto& sources = cards->sources;
    setBusy(true);
    setError({});
    setMessage(QStringLiteral("Przygotowuję sześć GIF-ów…"));
    const quint64 job = m_install.begin(false);
    m_pendingBackup.clear();
    // Steps cross to the interface thread, where the watch hears them; the installation goes on
    // only while nobody has stopped waiting for it.
    const Game1Installer::Observer observe = [this, step = m_install.step()](
                                                 const Game1Installer::Progress& at) {
        return step([this, started = at.stage == Game1Installer::Stage::started, backup = at.backup,
                     removed = at.removed] { installProgress(started, backup, removed); });
    };
    runOnOwnThread(
        this,
        [install, factory, id = selected->id, edits, sources, animation = m_animation,
         destination = m_destination, bundle = m_bundle, originals = m_originals,
         observe]() mutable {
            Game1Installer::Files files;
            for (int n = 1; n <= Product::cardCount; ++n) {
                const QString name = QString::number(n) + QStringLiteral(".gif");
                const auto slot = size_t(n - 1);
                if (factory) {
                    const auto resource =
                        bundle.url(QStringLiteral("original-game1-") + QString::number(n),
                                   QStringLiteral("gif"));
                    if (!resource)
                        throw PackError(PackError::missingResource);
                    files[name] = readFile(*resource);
                } else {
                    const QImage card =
                        PackRenderer::image(cachedOriginal(originals, sources[slot]), edits[slot],
                                            n - 1, Product::screenSide);
                    files[name] = PackRenderer::gif(card, n - 1, animation);
                }
            }
            Game1Installer::validate(files);
            const QString folder = QDir(storage()).filePath(QStringLiteral("Exports/") + id +
                                                            QLatin1Char('-') + uuidText().left(8));
            if (!QDir().mkpath(folder))
                throw PlatformError::fromErrno(errno ? errno : EACCES, folder);
            Prepared prepared;
            for (const QString& name : Game1Installer::names()) {
                const QString path = QDir(folder).filePath(name);
                atomicWrite(path, files.at(name));
                prepared.files << path;
            }
            if (!install)
                return prepared;
            if (destination.isEmpty())
                throw PackError(PackError::folder);
            prepared.backup = Game1Installer::install(files, destination, backups(),
                                                      Game1Installer::writeAtomically, observe);
            return prepared;
        },
        [this, install, factory, job](const Outcome<Prepared>& outcome) {
            if (!m_install.finish(job))
                return; // abandoned: the person was already told
            if (!outcome.ok()) {
                setError(outcome.error);
                setMessage({});
                setBusy(false);
                return;
            }
            setExported(outcome.value->files);
            if (!outcome.value->backup.isEmpty()) {
                m_settings.setString(Settings::packsLastBackup, outcome.value->backup);
                if (outcome.value->backup != m_lastBackup) {
                    m_lastBackup = outcome.value->backup;
                    emit lastBackupChanged();
                }
            }
            if (!install)
                setMessage(QStringLiteral(
                    "Gotowe: 1.gif–6.gif. Udostępnij pliki albo wgraj zestaw na Tovi."));
            else if (factory)
                setMessage(QStringLiteral("Przywrócono fabryczną kostkę. Poprzedni zestaw "
                                          "zachowano w kopii. Wysuń dysk i przełącz Tovi na DAC."));
            else
                setMessage(QStringLiteral("Wgrano sześć kart do Game1 i zweryfikowano zapis. "
                                          "Poprzedni zestaw zachowano w kopii. Wysuń dysk i "
                                          "przełącz Tovi na DAC."));
            setBusy(false);
        });
}

void PacksModel::installProgress(bool started, const QString& backup, const QStringList& removed) {
    if (!m_busy)
        return;
    if (started) {
        m_pendingBackup = backup;
        m_install.watch();
    }
    if (!removed.isEmpty())
        setMessage(DeviceLayout::leftoversRemovedText(QStringLiteral("Game1"), removed));
}

void PacksModel::stopWaiting() {
    if (!m_busy || !m_install.stopWaiting())
        return;
    setError(DeviceWatch::stoppedInstallText(m_pendingBackup));
    setMessage({});
    setBusy(false);
}

} // namespace tovi

namespace tovi {

// --- own packs ----------------------------------------------------------------------------------

PackContent PacksModel::content(const QString& id) const {
    const StarterPack* found = find(id);
    if (!found)
        throw OwnPackError(OwnPackError::unknownPack, id);
    const OwnPack* own = ownPack(id);
    PackContent content;
    content.name = found->name;
    content.animation = own && id != m_selectedID ? own->content.animation : m_animation;
    for (int slot = 0; slot < Product::cardCount; ++slot) {
        content.cards[size_t(slot)] = editOf(slot, id);
        content.pictures[size_t(slot)] = sourceOf(content.cards[size_t(slot)], slot, id);
    }
    return content;
}

QSet<QString> PacksModel::starterIds() const {
    QSet<QString> ids;
    for (const StarterPack& pack : m_packs)
        ids.insert(pack.id);
    return ids;
}

void PacksModel::setOwnPacks(std::vector<OwnPack> packs) {
    m_ownPacks = std::move(packs);
    m_ownInfos.clear();
    for (const OwnPack& own : m_ownPacks)
        m_ownInfos.push_back(own.info());
    emit ownPacksChanged();
}

void PacksModel::reloadOwnPacks() {
    try {
        setOwnPacks(OwnPackStore::load());
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
}

void PacksModel::addOwnPack(std::function<OwnPack()> work,
                            std::function<QString(const QString&)> done) {
    setBusy(true);
    setError({});
    setMessage({});
    runInBackground(this, std::move(work), [this, done](const Outcome<OwnPack>& outcome) {
        setBusy(false);
        if (!outcome.ok()) {
            setError(outcome.error);
            return;
        }
        reloadOwnPacks();
        selectPack(outcome.value->id);
        setMessage(done(outcome.value->content.name));
    });
}

void PacksModel::saveOwnPack(const QString& name) {
    if (m_busy || !pack())
        return;
    PackContent cards;
    try {
        cards = content(m_selectedID);
        cards.name = checkedPackName(name);
    } catch (...) {
        setError(describeFailure(std::current_exception()));
        return;
    }
    addOwnPack([cards, reserved = starterIds()] { return OwnPackStore::save(cards, reserved); },
               [](const QString& saved) {
                   return QStringLiteral("Zapisano zestaw „%1” w Moich zestawach.").arg(saved);
               });
}

void PacksModel::importPack(const QString& file) {
    if (m_busy)
        return;
    addOwnPack([file, reserved = starterIds()] { return OwnPackStore::importFile(file, reserved); },
               &PacksModel::importedText);
}

QString PacksModel::importedText(const QString& name) {
    return QStringLiteral("Zaimportowano zestaw „%1”. Jest teraz w Moich zestawach.").arg(name);
}

void PacksModel::exportPack(const QString& id, const QString& file) {
    if (m_busy)
        return;
    PackContent cards;
    try {
        cards = content(id);
    } catch (...) {
        setError(describeFailure(std::current_exception()));
        return;
    }
    setBusy(true);
    setError({});
    setMessage({});
    runInBackground(
        this, [cards, file] { PackFile::write(cards, file); },
        [this, name = cards.name, file](const Outcome<std::monostate>& outcome) {
            setBusy(false);
            if (!outcome.ok())
                setError(outcome.error);
            else
                setMessage(QStringLiteral("Zapisano zestaw „%1” w pliku %2. Przekaż go komuś, "
                                          "kto ma Tovi.")
                               .arg(name, QFileInfo(file).fileName()));
        });
}

void PacksModel::renameOwnPack(const QString& id, const QString& name) {
    if (m_busy)
        return;
    try {
        const OwnPack renamed = OwnPackStore::rename(id, name);
        reloadOwnPacks();
        setMessage(QStringLiteral("Zmieniono nazwę zestawu na „%1”.").arg(renamed.content.name));
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
}

void PacksModel::deleteOwnPack(const QString& id) {
    const OwnPack* own = ownPack(id);
    if (m_busy || !own)
        return;
    const QString name = own->content.name;
    try {
        OwnPackStore::remove(id);
    } catch (...) {
        setError(describeFailure(std::current_exception()));
        return;
    }
    reloadOwnPacks();
    if (id == m_selectedID && !m_packs.empty())
        selectPack(m_packs.front().id);
    setMessage(QStringLiteral("Zestaw „%1” przeniesiono do folderu „Usunięte z Tovi”. Można go "
                              "stamtąd przywrócić.")
                   .arg(name));
}

std::vector<OwnPackStore::Removed> PacksModel::removedOwnPacks() const {
    try {
        return OwnPackStore::removed();
    } catch (const ToviError&) {
        return {};
    }
}

void PacksModel::restoreOwnPack(const QString& removedFolder) {
    if (m_busy)
        return;
    try {
        const OwnPack restored = OwnPackStore::restore(removedFolder, starterIds());
        reloadOwnPacks();
        setMessage(QStringLiteral("Przywrócono zestaw „%1”.").arg(restored.content.name));
    } catch (...) {
        setError(describeFailure(std::current_exception()));
    }
}

} // namespace tovi
