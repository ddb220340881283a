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
    m_library.open(m_packs);
    for (const OwnPack& own : m_library.packs())
        m_ownInfos.push_back(own.info());
    connect(&m_library, &OwnPackLibrary::changed, this, &PacksModel::followOwnPacks);
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

QString PacksModel::uuidText() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

const QImage& PacksModel::cachedOriginal(std::map<QString, QImage>& originals,
                                         const QString& source) {
    auto found = originals.find(source);
    if (found == originals.end())
        found = originals.emplace(source, PackRenderer::original(source)).first;
    return found->second;
}

QString PacksModel::storage() {
    return WorkingFolder::packs();
}

QString PacksModel::backups() {
    return WorkingFolder::packBackups();
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
        if (ownPack(m_selectedID))
            m_library.setAnimation(m_selectedID, animation,
                                   [this](const Outcome<std::monostate>& outcome) {
                                       if (!outcome.ok())
                                           setError(outcome.error);
                                   });
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
    setFailure(error, FailureKind::other);
}

void PacksModel::setFailure(const QString& error, FailureKind kind) {
    m_errorKind = error.isEmpty() ? FailureKind::other : kind;
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
    choose(id);
}

void PacksModel::choose(const QString& id) {
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
    m_renders.drop();
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
    const LatestRequest::Ticket rendering = m_renders.start();
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
        [this, rendering](const Outcome<Rendering>& outcome) {
            if (!rendering.current())
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

void PacksModel::followOwnPacks() {
    m_ownInfos.clear();
    for (const OwnPack& own : m_library.packs())
        m_ownInfos.push_back(own.info());
    emit ownPacksChanged();
    // A deleted pack was being edited: the collection's first is.
    if (!find(m_selectedID) && !m_packs.empty())
        choose(m_packs.front().id);
}

} // namespace tovi
