#pragma once

#include "app/studio_mode.h"

#include <QDialog>
#include <QPointer>
#include <QWidget>
#include <memory>

class QAbstractButton;
class QLabel;
class QStackedWidget;

namespace tovi {

class PacksModel;
class PacksView;
class SegmentedControl;
class Settings;
class StarterPack;
class StudioModel;
class StudioView;

// The window's content: the header with the mode switch, the case colour and the tutorial, and
// the screen of the current mode below. Owns the two models for the window's lifetime.
class StudioRootView : public QWidget {
    Q_OBJECT
public:
    explicit StudioRootView(Settings& settings, QWidget* parent = nullptr);
    ~StudioRootView() override;

    StudioMode mode() const { return m_mode; }
    void setMode(StudioMode mode);
    // Stores the case colour; the device picture and the theme follow at once.
    void setDeviceColor(const QString& color);
    QString deviceColor() const;

    // What a choice in the collection does: the card's artwork as the studio's material, or the
    // pack and card in the six-card editor. The sheet closes either way.
    void choose(const StarterPack& pack, int slot);
    void showTutorial();
    void showCollection();
    // A file opened from outside (the command line, a drop on the window): a pack file is
    // imported into the own packs and shown in the card screen; anything else becomes the
    // graphic's material.
    void openFile(const QString& file);
    // Several at once: pictures and films make a row in "Grafika"; pack files are imported.
    void openFiles(const QStringList& files);
    // "Na Tovi": what is on the device.
    void showDeviceContents();
    // The tutorial's "finish": remembered, so it is not offered again.
    void finishTutorial();

    StudioModel& studio() { return *m_studio; }
    PacksModel& packs() { return *m_packs; }
    StudioView* studioView() const { return m_studioView; }
    PacksView* packsView() const { return m_packsView; }
    SegmentedControl* modeSwitch() const { return m_modeSwitch; }
    QAbstractButton* caseButton(const QString& color) const;
    QAbstractButton* tutorialButton() const { return m_tutorialButton; }
    QDialog* tutorialSheet() const { return m_tutorial; }
    QDialog* collectionSheet() const { return m_collection; }
    QDialog* deviceContents() const { return m_deviceContents; }

protected:
    void showEvent(QShowEvent* event) override;
    // Pack files dropped on either screen.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addShortcuts();
    void syncBusy();
    void applyTheme();

    Settings& m_settings;
    std::unique_ptr<StudioModel> m_studio;
    std::unique_ptr<PacksModel> m_packs;
    StudioMode m_mode = StudioMode::artwork;
    SegmentedControl* m_modeSwitch;
    QLabel* m_subtitle;
    QWidget* m_caseSelector;
    QAbstractButton* m_tutorialButton;
    QStackedWidget* m_screens;
    StudioView* m_studioView;
    PacksView* m_packsView;
    QPointer<QDialog> m_tutorial;
    QPointer<QDialog> m_collection;
    QPointer<QDialog> m_deviceContents;
};

} // namespace tovi
