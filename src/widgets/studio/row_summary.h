#pragma once

#include <QWidget>

class QVBoxLayout;

namespace tovi {

class PictureRow;

// The outcome of a row's send in the transfer sheet, a line a picture in the row's order: where
// each written one went, and for each that was not, why, with "Ponów" to send it again.
class RowSummary : public QWidget {
    Q_OBJECT
public:
    explicit RowSummary(PictureRow& row, QWidget* parent = nullptr);

private:
    void rebuild();

    PictureRow& m_row;
    QVBoxLayout* m_lines;
};

} // namespace tovi
