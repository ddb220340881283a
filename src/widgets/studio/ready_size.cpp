#include "ready_size.h"

#include "app/polish_format.h"
#include "media/media_processor.h"
#include "shell/controls.h"
#include "shell/theme.h"
#include "studio/ready_export.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

namespace tovi {

ReadySize::ReadySize(QWidget* parent)
    : QWidget(parent)
    , m_text(new QLabel)
    , m_bar(new QProgressBar) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
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
        setVisible(false);
        m_said.clear();
        return;
    case ReadyExport::State::waiting:
        m_text->setText(QStringLiteral("Sprawdzam rozmiar…"));
        m_text->setAccessibleName(m_text->text());
        m_text->setForegroundRole(QPalette::PlaceholderText);
        m_text->setStyleSheet({});
        m_bar->setVisible(false);
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
    if (text != m_said) {
        m_said = text;
        announce(m_text);
    }
}

QString ReadySize::text() const {
    return isVisibleTo(parentWidget()) ? m_text->text() : QString();
}

} // namespace tovi
