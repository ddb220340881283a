#include "ready_size.h"

#include "app/polish_format.h"
#include "media/media_processor.h"
#include "shell/controls.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"
#include "studio/ready_export.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace tovi {

ReadySize::ReadySize(QWidget* parent)
    : QWidget(parent)
    , m_text(new QLabel)
    , m_bar(new QProgressBar) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    m_offers = new QHBoxLayout;
    m_offers->setSpacing(8);
    row->addLayout(m_offers);
    auto* column = new QVBoxLayout;
    row->addLayout(column);
    column->setSpacing(4);
    m_text->setObjectName(QStringLiteral("readySize"));
    m_text->setFont(Typography::font(Typography::Style::caption, QFont::Medium));
    m_text->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    setAlert(m_text);
    column->addWidget(m_text);
    m_bar->setObjectName(QStringLiteral("readySizeBar"));
    m_bar->setRange(0, 1000);
    m_bar->setTextVisible(false);
    m_bar->setFixedSize(96, 4);
    setDecorative(m_bar); // the text says the same
    column->addWidget(m_bar, 0, Qt::AlignRight);
    QWidget::hide();
}

void ReadySize::show(const ReadyExport& ready) {
    switch (ready.state()) {
    case ReadyExport::State::none:
    case ReadyExport::State::failed: // the send says why
        offer(ready);
        setVisible(false);
        m_said.clear();
        return;
    case ReadyExport::State::waiting:
        m_text->setText(QStringLiteral("Sprawdzam rozmiar…"));
        m_text->setAccessibleName(m_text->text());
        m_text->setForegroundRole(QPalette::PlaceholderText);
        m_text->setStyleSheet({});
        m_bar->setVisible(false);
        offer(ready);
        setVisible(true);
        return;
    case ReadyExport::State::ready:
        break;
    }
    const qint64 bytes = ready.bytes().size();
    const qint64 limit = MediaProcessor::maxGifBytes;
    const QString text = PolishFormat::sizeOfLimit(bytes, limit);
    m_text->setText(text);
    m_text->setAccessibleName(text);
    m_text->setForegroundRole(QPalette::WindowText);
    m_text->setStyleSheet(
        ready.fits() ? QString() : QStringLiteral("color: %1;").arg(Theme::css(Theme::error())));
    m_bar->setValue(int(std::min<qint64>(bytes, limit) * 1000 / limit));
    m_bar->setStyleSheet(ready.fits() ? QString()
                                      : QStringLiteral("QProgressBar::chunk { background: %1; }")
                                            .arg(Theme::css(Theme::error())));
    m_bar->setVisible(true);
    setVisible(true);
    offer(ready);
    if (text != m_said) {
        m_said = text;
        announce(m_text);
    }
}

// The ways out of a GIF too large, each a button that sets what fits.
void ReadySize::offer(const ReadyExport& ready) {
    while (QLayoutItem* item = m_offers->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    if (ready.fits())
        return;
    const FitSuggestions& found = ready.suggestions();
    const auto add = [this](const FitSuggestion& way, const QString& text) {
        QPushButton* button =
            SheetParts::flatButton(text, QStringLiteral("suggestion"), Typography::Style::caption);
        button->setStyleSheet(SheetParts::flatButtonStyle(this));
        connect(button, &QPushButton::clicked, this,
                [this, options = way.options] { emit picked(options); });
        m_offers->addWidget(button);
    };
    if (found.fps)
        add(*found.fps, PolishFormat::suggestionAtFps(found.fps->options.fps, found.fps->bytes));
    if (found.length)
        add(*found.length,
            PolishFormat::suggestionAtLength(found.length->options.length, found.length->bytes));
}

} // namespace tovi
