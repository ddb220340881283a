#pragma once

#include <QAbstractButton>
#include <QWidget>
#include <functional>

class QPushButton;

namespace tovi {

// One row of the material panel: an accent symbol, a title and a chevron; a button as a whole.
class MaterialRow : public QAbstractButton {
    Q_OBJECT
public:
    MaterialRow(const QString& title, const QString& icon, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QString m_icon;
    bool m_hovered = false;
};

// Where a picture comes from: the photo library row, "Pliki", and optionally a way back to the
// collection's artwork.
class MaterialPanel : public QWidget {
    Q_OBJECT
public:
    // `photos` is the photo-library row (normally a MaterialRow that opens the picker);
    // `restore` may be empty, and then no restore button is shown.
    MaterialPanel(QWidget* photos, std::function<void()> files, std::function<void()> restore = {},
                  QWidget* parent = nullptr);

    MaterialRow* filesRow() const { return m_files; }
    QPushButton* restoreButton() const { return m_restore; }

private:
    QWidget* m_group;
    MaterialRow* m_files;
    QPushButton* m_restore = nullptr;
};

} // namespace tovi
