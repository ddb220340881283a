#pragma once

#include "device/transfer_sheet.h"
#include "shell/controls.h"
#include "shell/editor_tool.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

class QLabel;
class QMimeData;

namespace tovi {

class DevicePreview;
class EditorWorkspace;
class ReadySize;
class MaterialPanel;
class PictureRow;
class PictureStrip;
class SendBar;
class Settings;
class Spinner;
class StudioModel;

// The screen of "Grafika": the shared editor around the studio model. Every control writes the
// model's options or calls one of its operations; the screen holds no media logic.
class StudioView : public QWidget {
    Q_OBJECT
public:
    StudioView(StudioModel& model, Settings& settings, std::function<void()> openCollection,
               QWidget* parent = nullptr);
    ~StudioView() override;

    // The case colour changed (the device picture follows).
    void setDeviceColor(const QString& color);

    EditorWorkspace* workspace() const { return m_workspace; }
    DevicePreview* preview() const { return m_preview; }
    SendBar* sendBar() const { return m_sendBar; }
    QLabel* contextLabel() const { return m_contextText; }
    ToviTransferSheet* transferSheet() const { return m_sheet; }
    QMessageBox* alert() const { return m_alert; }
    PictureRow& row() const { return *m_row; }
    PictureStrip* strip() const { return m_strip; }

    // The material actions, reachable for tests and drops: one file is the material, several
    // make a row of pictures.
    void importFile(const QString& path);
    void importFiles(const QStringList& paths);
    // The file dialog, then the chosen files as the material; nothing while busy.
    void addMaterial();
    void openTransfer();
    // A drag bringing `brought` would be taken: it brings local files.
    bool takesDrop(const QMimeData* brought) const;

    // The file dialog and the photo picker, replaceable in tests (nothing chosen: nullopt).
    void setFileChooser(std::function<std::optional<QString>()> chooser);
    void setFilesChooser(std::function<QStringList()> chooser);
    void setPhotoChooser(std::function<std::optional<QString>()> chooser);

protected:
    // A click on the empty display opens the material panel.
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QWidget* buildPanel(EditorTool tool);
    QWidget* buildMaterial();
    void syncMedia();
    void syncBusy();
    void syncPreview();
    void showFrame();
    void syncSendBar();
    void showError();
    void syncRow();
    bool busy() const;

    StudioModel& m_model;
    Settings& m_settings;
    PictureRow* m_row;
    PictureStrip* m_strip;
    QWidget* m_stripRow;
    EditorWorkspace* m_workspace;
    DevicePreview* m_preview;
    ReadySize* m_readySize;
    SendBar* m_sendBar;
    QWidget* m_context;
    Spinner* m_spinner;
    QLabel* m_contextText;
    QPointer<QMessageBox> m_alert;
    FocusReturn m_focus; // while the model works
    bool m_wasBusy = false;
    QPointer<ToviTransferSheet> m_sheet;
    std::function<QStringList()> m_chooseFiles;
    std::function<std::optional<QString>()> m_choosePhoto;
    std::vector<QPointer<QWidget>> m_panels; // tool panels, disabled without media
};

} // namespace tovi
