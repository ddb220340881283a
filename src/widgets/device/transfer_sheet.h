#pragma once

#include "app/latest_request.h"
#include "app/tovi_error.h"
#include "device/device_finder.h"
#include "device/device_presence.h"
#include "device/drive_eject.h"
#include "device/mount_table.h"
#include "shell/controls.h"

#include <QDBusConnection>
#include <QDialog>
#include <QImage>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QButtonGroup;
class QHBoxLayout;
class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace tovi {

class Settings;

// What the sheet asks of the model that opened it. Empty functions are skipped.
struct ToviTransferActions {
    std::function<void(const QString& folder)> chooseDestination;
    std::function<void()> send;
    std::function<void()> exportFiles;
    std::function<void()> clearError;
    // Writes the studio's selected album ("Photo1" … "Photo3").
    std::function<void(const QString& album)> setAlbum;
    // Told the text of a folder chooser that failed for another reason than cancelling.
    std::function<void(const QString& error)> reportError;
    // The sheet was closed while its model was busy: stop what can still be stopped.
    std::function<void()> cancel;
    // The Tovi stopped answering and the person chose to stop waiting for it.
    std::function<void()> stopWaiting;
    // "Przerwij" while the model works: it stops between pictures of a row. None: no button.
    std::function<void()> stop;
};

// The window-modal sheet through which both modes send their result to the Tovi or save it as
// files. It owns no transfer logic: the opener feeds it the model's state through the setters
// (synchronously, on every change) and the model does the work through the actions. The sheet
// only tracks whether the destination is usable and its own display state. Interface thread.
class ToviTransferSheet : public QDialog {
    Q_OBJECT
public:
    enum class Operation { send, exportFiles };
    // Safe removal of the drive, offered once a send has completed.
    enum class EjectState { none, looking, offered, ejecting, ejected };
    // Returns the folder the user picked, nothing when cancelled; may throw a ToviError.
    using FolderChooser = std::function<std::optional<QString>()>;
    using VolumeLister = DevicePresence::VolumeLister;
    // Shows `filesToReveal` in the file manager, or opens `folderToOpen` when there are none.
    using Opener =
        std::function<void(const QStringList& filesToReveal, const QString& folderToOpen)>;
    using MountLister = std::function<std::vector<Mount>()>;

    ToviTransferSheet(ToviTransferKind kind, Settings& settings, ToviTransferActions actions,
                      QWidget* parent = nullptr);
    ~ToviTransferSheet() override;

    void setPreview(const QImage& preview);
    void setSummary(const QString& summary);
    // Re-checks the connection when the folder changes.
    void setDestination(const QString& folder);
    void setAlbum(const QString& album);
    // Going from busy to idle settles `complete` and re-checks the connection.
    void setBusy(bool busy);
    void setMessage(const QString& message);
    // A full Tovi (FailureKind::deviceFull) is offered a way to make room.
    void setError(const QString& error, FailureKind kind = FailureKind::other);
    void setFiles(const QStringList& files);
    void setBackup(const QString& folder);
    // Frames done of frames in all while sending; forgotten when the next job starts.
    void setProgress(int done, int total);
    // The Tovi has not answered the model's device work for a while: say so and offer to stop
    // waiting.
    void setStalled(bool stalled);
    // A section of the opener's own below the destination (a row's outcome, picture by picture);
    // the sheet takes it.
    void addSection(QWidget* section);
    // What the title says once the send has completed; empty: "Jest na Twoim Tovi.". A row that
    // wrote only some of its pictures must not say that all are there.
    void setDoneTitle(const QString& title);

    // Seams for tests; the defaults are FileChooser::deviceFolder, DeviceFinder::mountedVolumes
    // and UrlOpener::reveal.
    void setFolderChooser(FolderChooser chooser);
    void setVolumeLister(VolumeLister lister);
    void setOpener(Opener opener);
    // Where safe removal looks for the drive; by default the system bus and the mount table.
    void setEjectBus(const QDBusConnection& bus, MountLister mounts = &MountTable::read);

    ToviTransferKind kind() const { return m_kind; }
    const QString& destination() const { return m_destination; }
    const QString& album() const { return m_album; }
    bool busy() const { return m_busy; }
    bool stalled() const { return m_stalled; }
    const QString& error() const { return m_error; }
    // The destination resolves to a usable folder for this kind.
    bool ready() const { return m_ready; }
    // A send finished with a message and no error; never goes back to false.
    bool complete() const { return m_complete; }
    // The last operation started from the sheet.
    std::optional<Operation> operation() const { return m_operation; }
    EjectState ejectState() const { return m_ejectState; }

    // What runs each time the sheet is shown: clears the error, checks the connection and, when
    // not ready, looks for the remembered device root or else the one mounted Tovi disk, and
    // takes what answers.
    void start();
    // Recomputes `ready` from the destination, kind and album.
    void checkConnection();

    // How to connect the Tovi, step by step; every view that waits for one shows it.
    static QWidget* connectionSteps();

    // Closing while busy asks the model to cancel.
    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The sheet top to bottom (transfer_sheet_sections.cpp). Each builder makes one section and
    // keeps the widgets that the section's restyle and refresh change.
    void build();
    void buildTitleBar(QHBoxLayout* header, QLabel* title);
    QLayout* buildPreviewHeader();
    QWidget* buildStatusCard();
    QWidget* buildConnectionCard();
    QWidget* buildDestinationCard();
    void buildAlbumPlace(QVBoxLayout* card);
    void buildCardsPlace(QVBoxLayout* card);
    QWidget* buildErrorLine();
    QWidget* buildProgress();
    void buildButtons(QVBoxLayout* footer);
    // The theme's colours, section by section; then refresh().
    void restyle();
    void restyleTitleBar();
    void restyleBody();
    void restyleStatus();
    void restyleDestination();
    void restyleError();
    void restyleProgress();
    void restyleButtons();
    // What every section shows, from the sheet's state; the outcome is announced as it appears.
    void refresh();
    void refreshHeader();
    void refreshStatus();
    void refreshConnection();
    void refreshDestination();
    void refreshError();
    void refreshProgress();
    void refreshButtons();
    void settle(const DeviceFinder::Lookup& found);
    void mountsChanged();
    void lookForDevice();
    void useFolder(const QString& folder);
    void connectDevice();
    void pickAlbum(const QString& album);
    void runMain();
    void saveCopies();
    void lookForDrive();
    void ejectDrive();
    // "Na Tovi" over the sheet: to see what is there or make room.
    void openContents();
    // The error says the Tovi is full.
    bool deviceFull() const;

    const ToviTransferKind m_kind;
    Settings& m_settings;
    ToviTransferActions m_actions;
    FolderChooser m_chooser;
    Opener m_opener;
    std::optional<QDBusConnection> m_ejectBus; // the system bus when unset
    MountLister m_mounts = &MountTable::read;

    QImage m_preview;
    QString m_summary;
    QString m_destination;
    QString m_album = QStringLiteral("Photo1");
    bool m_busy = false;
    QString m_message;
    QString m_error;
    FailureKind m_errorKind = FailureKind::other;
    QStringList m_files;
    QString m_backup;
    int m_done = 0;
    int m_total = 0;
    bool m_stalled = false;
    bool m_ready = false;
    LatestRequest m_connectionCheck; // the newest look at whether the destination is usable
    bool m_complete = false;
    QString m_doneTitle;
    std::optional<Operation> m_operation;
    EjectState m_ejectState = EjectState::none;
    FocusReturn m_focus; // while the model works
    std::optional<DriveEject::Target> m_ejectTarget;
    // Only while the sheet is shown: disks that come and go are followed.
    DevicePresence m_presence;
    bool m_lookAfterSend = false;

    QLabel* m_headerTitle = nullptr;
    QToolButton* m_close = nullptr;
    QWidget* m_picture = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_summaryLabel = nullptr;
    QWidget* m_success = nullptr;
    QLabel* m_successIcon = nullptr;
    QWidget* m_ejectRow = nullptr;
    QPushButton* m_eject = nullptr;
    QWidget* m_ejecting = nullptr;
    QLabel* m_ejected = nullptr;
    QLabel* m_connectionIcon = nullptr;
    QLabel* m_connectionHeader = nullptr;
    QLabel* m_connectionPath = nullptr;
    QWidget* m_connectionSteps = nullptr;
    QWidget* m_albumRow = nullptr;
    QLabel* m_albumValue = nullptr;
    QLabel* m_albumNote = nullptr;
    QWidget* m_albumChoice = nullptr;
    QButtonGroup* m_albumGroup = nullptr;
    QLabel* m_backupIcon = nullptr;
    QWidget* m_errorLine = nullptr;
    QLabel* m_errorIcon = nullptr;
    QLabel* m_errorText = nullptr;
    QPushButton* m_makeRoom = nullptr;
    QPushButton* m_contents = nullptr;
    QWidget* m_progress = nullptr;
    QLabel* m_progressText = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QLabel* m_progressCount = nullptr;
    QLabel* m_progressNote = nullptr;
    QWidget* m_stall = nullptr;
    QLabel* m_stallText = nullptr;
    QPushButton* m_stopWaiting = nullptr;
    QPushButton* m_stop = nullptr;
    QVBoxLayout* m_body = nullptr;
    QPushButton* m_main = nullptr;
    QPushButton* m_share = nullptr;
    QPushButton* m_saveAs = nullptr;
    QLabel* m_filesNote = nullptr;
    QPushButton* m_secondary = nullptr;
    QPushButton* m_openBackup = nullptr;
};

} // namespace tovi
