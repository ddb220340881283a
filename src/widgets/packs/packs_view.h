#pragma once

#include "device/transfer_sheet.h"
#include "shell/controls.h"
#include "shell/editor_tool.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

class QAbstractButton;
class QMimeData;
class QToolButton;

namespace tovi {

class DevicePreview;
class EditorWorkspace;
class OwnPackFlow;
class PackNotice;
class SendBar;
class PacksModel;
class Settings;

// The screen of "Losowane karty": the current card on the device picture, the card strip, the
// picture sources, the crop, animation and caption tools, and the bar that sends the set.
class PacksView : public QWidget {
    Q_OBJECT
public:
    PacksView(PacksModel& model, Settings& settings, std::function<void()> openCollection,
              QWidget* parent = nullptr);
    ~PacksView() override;

    void setDeviceColor(const QString& color);
    // The send bar's button, or the options menu's factory restore.
    void openTransfer(bool factory);
    // The file dialog, then the chosen picture on the selected card; nothing while busy.
    void addCardPicture();
    // A drag bringing `brought` would be taken: it brings a local file, and the model is idle.
    bool takesDrop(const QMimeData* brought) const;

    EditorWorkspace* workspace() const { return m_workspace; }
    DevicePreview* preview() const { return m_preview; }
    SendBar* sendBar() const { return m_sendBar; }
    QToolButton* optionsButton() const { return m_options; }
    QAbstractButton* cardButton(int slot) const { return m_strip.at(size_t(slot)); }
    ToviTransferSheet* transferSheet() const { return m_sheet; }
    QMessageBox* alert() const { return m_alert; }
    // Saving, sharing, importing, renaming and deleting the person's own packs, and its notice.
    OwnPackFlow& ownPacks() const { return *m_ownPacks; }
    PackNotice* notice() const { return m_notice; }

    // The image file dialog and the photo picker, replaceable in tests (nothing: nullopt).
    void setFileChooser(std::function<std::optional<QString>()> chooser);
    void setPhotoChooser(std::function<std::optional<QString>()> chooser);
    // What "Pokaż ostatnią kopię" does with the folder; the file manager by default.
    void setFolderOpener(std::function<void(const QString&)> opener);

protected:
    // A picture dropped on a card of the strip becomes that card's picture; dropped anywhere
    // else, the selected card's.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* buildPanel(EditorTool tool);
    QWidget* buildMaterial();
    QWidget* buildStrip();
    void sync();
    void syncAnimation();
    void showError();
    void importImage(const std::optional<QString>& path);

    PacksModel& m_model;
    Settings& m_settings;
    EditorWorkspace* m_workspace;
    DevicePreview* m_preview;
    QToolButton* m_options;
    SendBar* m_sendBar; // holds m_options
    OwnPackFlow* m_ownPacks;
    PackNotice* m_notice;
    std::vector<QAbstractButton*> m_strip;
    std::vector<QPointer<QWidget>> m_busyBound; // panels and sources, off while the model works
    QPointer<ToviTransferSheet> m_sheet;
    QPointer<QMessageBox> m_alert;
    FocusReturn m_focus; // while the model works
    bool m_wasBusy = false;
    std::function<std::optional<QString>()> m_chooseFile;
    std::function<std::optional<QString>()> m_choosePhoto;
    std::function<void(const QString&)> m_openFolder;
};

} // namespace tovi
