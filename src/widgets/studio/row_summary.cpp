#include "row_summary.h"

#include "shell/controls.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"
#include "studio/picture_row.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovi {

RowSummary::RowSummary(PictureRow& row, QWidget* parent)
    : QWidget(parent)
    , m_row(row) {
    setObjectName(QStringLiteral("rowSummary"));
    auto* card = new SheetParts::Card(QStringLiteral("rowSummaryCard"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(card);
    auto* column = SheetParts::cardColumn(card);
    column->addWidget(SheetParts::textLabel(QStringLiteral("Grafiki w tej wysyłce"),
                                            Typography::Style::headline, QFont::DemiBold));
    m_lines = new QVBoxLayout;
    m_lines->setSpacing(6);
    column->addLayout(m_lines);
    connect(&m_row, &PictureRow::linesChanged, this, &RowSummary::rebuild);
    connect(&m_row, &PictureRow::busyChanged, this, &RowSummary::rebuild);
    rebuild();
}

void RowSummary::rebuild() {
    while (QLayoutItem* item = m_lines->takeAt(0)) {
        // Not at once: a "Ponów" being clicked is among them.
        item->widget()->hide();
        item->widget()->deleteLater();
        delete item;
    }
    const auto& lines = m_row.lines();
    setVisible(!lines.empty() && !m_row.sending());
    if (m_row.sending())
        return;
    for (int i = 0; i < int(lines.size()); ++i) {
        const AlbumRow::Result& result = lines[size_t(i)].result;
        auto* line = new QWidget;
        line->setObjectName(QStringLiteral("rowLine"));
        auto* row = new QHBoxLayout(line);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(8);
        QLabel* text;
        if (result.written()) {
            text = SheetParts::textLabel(result.label + QStringLiteral(" → ") + result.album +
                                             QLatin1Char('/') + result.name,
                                         Typography::Style::callout, QFont::Normal);
        } else {
            text = SheetParts::textLabel(result.label + QStringLiteral(": ") + result.error,
                                         Typography::Style::callout, QFont::Medium);
            QPalette red = text->palette();
            red.setColor(QPalette::WindowText, Theme::error());
            text->setPalette(red);
        }
        text->setObjectName(result.written() ? QStringLiteral("written")
                                             : QStringLiteral("failed"));
        row->addWidget(text, 1);
        if (!result.written()) {
            QPushButton* again =
                SheetParts::flatButton(QStringLiteral("Ponów"), QStringLiteral("retry"));
            again->setStyleSheet(SheetParts::flatButtonStyle(this));
            again->setAccessibleName(QStringLiteral("Ponów: ") + result.label);
            connect(again, &QPushButton::clicked, this, [this, i] { m_row.retry(i); });
            row->addWidget(again, 0, Qt::AlignTop);
        }
        m_lines->addWidget(line);
    }
}

} // namespace tovi
