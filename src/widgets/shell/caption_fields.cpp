#include "caption_fields.h"

#include "shell/controls.h"

#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

namespace tovi {

CaptionFields::CaptionFields(const QString& titleName, Order order, QWidget* parent)
    : QWidget(parent)
    , m_column(new QVBoxLayout(this))
    , m_captions(new Switch(QStringLiteral("Napisy na ekranie Tovi")))
    , m_title(new QLineEdit)
    , m_subtitle(new QLineEdit) {
    m_column->setContentsMargins(0, 0, 0, 0);
    m_column->setSpacing(14);
    if (order == Order::switchAbove)
        m_column->addWidget(m_captions);
    for (auto [field, name] :
         {std::pair{m_title, titleName}, std::pair{m_subtitle, QStringLiteral("Podpis")}}) {
        field->setPlaceholderText(name);
        field->setAccessibleName(name);
        field->setMinimumHeight(30);
        m_column->addWidget(field);
    }
    if (order == Order::switchBelow)
        m_column->addWidget(m_captions);
    connect(m_captions, &QAbstractButton::toggled, this, &CaptionFields::captionsToggled);
    connect(m_title, &QLineEdit::textChanged, this, &CaptionFields::titleTyped);
    connect(m_subtitle, &QLineEdit::textChanged, this, &CaptionFields::subtitleTyped);
}

void CaptionFields::display(bool captions, const QString& title, const QString& subtitle) {
    const QSignalBlocker a(m_captions), b(m_title), c(m_subtitle);
    m_captions->setChecked(captions);
    if (m_title->text() != title)
        m_title->setText(title);
    if (m_subtitle->text() != subtitle)
        m_subtitle->setText(subtitle);
}

void CaptionFields::offerClearing() {
    for (QLineEdit* field : {m_title, m_subtitle}) {
        field->setClearButtonEnabled(true);
        // Qt's clear button is a bare symbol: a screen reader would find it nameless.
        for (QToolButton* clear : field->findChildren<QToolButton*>())
            clear->setAccessibleName(QStringLiteral("Wyczyść ") +
                                     field->accessibleName().toLower());
    }
}

} // namespace tovi
