#pragma once

#include "app/studio_mode.h"
#include "packs/own_pack.h"
#include "packs/own_pack_store.h"
#include "packs/starter_pack.h"

#include <QDialog>
#include <functional>
#include <vector>

class QComboBox;
class QGridLayout;
class QLabel;
class QPushButton;

namespace tovi {

class OwnPackFlow;
class PacksModel;

// One card of the collection as a round picture, drawn by `draw` in the background; a
// placeholder with a spinner until then (and for good when the picture is missing).
class PackThumbnail : public QWidget {
    Q_OBJECT
public:
    PackThumbnail(std::function<QImage()> draw, QWidget* parent = nullptr);
    bool loaded() const { return !m_image.isNull(); }
    QSize sizeHint() const override { return {160, 160}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override { return width; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
    QWidget* m_spinner;
};

// The pack browser: a pack picker and its six cards; what a choice means is the opener's
// business. With offerOwnPacks, the person's own packs come first ("Moje zestawy"), and they
// can be imported, renamed and deleted here.
class StudioCollectionView : public QDialog {
    Q_OBJECT
public:
    using Choose = std::function<void(const StarterPack& pack, int slot)>;
    StudioCollectionView(std::vector<StarterPack> packs, StudioMode mode, Choose choose,
                         const QString& selectedID, QWidget* parent = nullptr);

    // Lists `model`'s own packs before the starter packs, following its changes and selection.
    void offerOwnPacks(PacksModel& model, OwnPackFlow& flow);

    const StarterPack* pack() const;
    void selectPack(const QString& id);
    QPushButton* importButton() const { return m_import; }
    QPushButton* renameButton() const { return m_rename; }
    QPushButton* deleteButton() const { return m_delete; }
    QComboBox* picker() const { return m_picker; }
    // The buttons of the shown pack's cards, slot by slot.
    const std::vector<QPushButton*>& cardButtons() const { return m_cards; }
    QPushButton* wholeSetButton() const { return m_wholeSet; }
    // "Gotowe": in the card screen's collection, a pack other than the screen's is taken as
    // "Użyj całego zestawu" takes it; then the sheet closes. Escape closes it without a change.
    void finish();

private:
    void fillPicker();
    void showPack();
    void showMenu(const QPoint& at);
    void showDamaged(const OwnPackStore::Damaged& damaged);
    // The damaged own pack chosen, if one is.
    const OwnPackStore::Damaged* damaged() const;
    static QString damagedName(const OwnPackStore::Damaged& damaged);
    QString instructionText() const;

    std::vector<StarterPack> m_packs;
    std::vector<StarterPack> m_own; // the own packs as the collection shows them
    std::vector<OwnPackStore::Damaged> m_damaged;
    PacksModel* m_model = nullptr;
    OwnPackFlow* m_flow = nullptr;
    StudioMode m_mode;
    Choose m_choose;
    QString m_current; // the opener's pack: "Gotowe" changes nothing while it is shown
    QString m_selectedID;
    QComboBox* m_picker;
    QLabel* m_name;
    QLabel* m_instruction;
    QWidget* m_grid;
    QGridLayout* m_gridLayout;
    std::vector<QPushButton*> m_cards;
    QPushButton* m_wholeSet = nullptr;
    QWidget* m_footer = nullptr; // holds m_wholeSet, under the scrolling part
    QPushButton* m_import;
    QPushButton* m_rename;
    QPushButton* m_delete;
};

} // namespace tovi
