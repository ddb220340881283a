// The send of the six cards and the factory restore: rendered and written to a fresh export folder
// on the workers, then installed in Game1 with a backup, on a device thread of their own.

#include "packs_model.h"

#include "app/atomic_write.h"
#include "app/background_task.h"
#include "app/platform_error.h"
#include "app/settings.h"
#include "app/working_folder.h"
#include "device/bookmark.h"
#include "device/device_finder.h"
#include "device/device_layout.h"
#include "device/game1_installer.h"
#include "device/pack_error.h"
#include "device/scoped_access.h"
#include "device/tovi_connection_store.h"
#include "packs/pack_renderer.h"

#include <QDir>
#include <cerrno>

namespace tovi {

struct PacksModel::Prepared {
    Game1Installer::Files cards;
    QStringList files; // where they were written
    QString backup;
};

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
    const QString exports = WorkingFolder::packExports();
    runInBackground(
        this,
        [factory, id = selected->id, edits, sources, animation = m_animation, bundle = m_bundle,
         originals = m_originals, exports]() mutable {
            Prepared prepared;
            Game1Installer::Files& files = prepared.cards;
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
            const QString folder =
                QDir(exports).filePath(id + QLatin1Char('-') + uuidText().left(8));
            if (!QDir().mkpath(folder))
                throw PlatformError::fromErrno(errno ? errno : EACCES, folder);
            for (const QString& name : Game1Installer::names()) {
                const QString path = QDir(folder).filePath(name);
                atomicWrite(path, files.at(name));
                prepared.files << path;
            }
            return prepared;
        },
        [this, install, factory, job, observe](const Outcome<Prepared>& outcome) {
            if (!outcome.ok() || !install) {
                finishPrepare(job, install, factory, outcome);
                return;
            }
            runOnOwnThread(
                this,
                [prepared = *outcome.value, destination = m_destination, backups = backups(),
                 observe]() mutable {
                    if (destination.isEmpty())
                        throw PackError(PackError::folder);
                    prepared.backup =
                        Game1Installer::install(prepared.cards, destination, backups,
                                                Game1Installer::writeAtomically, observe);
                    return prepared;
                },
                [this, install, factory, job](const Outcome<Prepared>& installed) {
                    finishPrepare(job, install, factory, installed);
                });
        });
}

void PacksModel::finishPrepare(quint64 job, bool install, bool factory,
                               const Outcome<Prepared>& outcome) {
    if (!m_install.finish(job))
        return; // abandoned: the person was already told
    if (!outcome.ok()) {
        setFailure(outcome.error, outcome.errorKind);
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
        setMessage(
            QStringLiteral("Gotowe: 1.gif–6.gif. Udostępnij pliki albo wgraj zestaw na Tovi."));
    else if (factory)
        setMessage(QStringLiteral("Przywrócono fabryczną kostkę. Poprzedni zestaw "
                                  "zachowano w kopii. Wysuń dysk i przełącz Tovi na DAC."));
    else
        setMessage(QStringLiteral("Wgrano sześć kart do Game1 i zweryfikowano zapis. "
                                  "Poprzedni zestaw zachowano w kopii. Wysuń dysk i "
                                  "przełącz Tovi na DAC."));
    setBusy(false);
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
