#include "packs_panels.h"

#include "app/product.h"
#include "packs/packs_model.h"
#include "shell/controls.h"
#include "shell/theme.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace tovi {

PacksAnimationControls::PacksAnimationControls(PacksModel& model, QWidget* parent)
    : QWidget(parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    auto* heading = new QLabel(QStringLiteral("Animacja GIF"));
    heading->setFont(Typography::font(Typography::Style::caption));
    column->addWidget(heading);
    QStringList labels;
    for (PackReveal reveal : allPackReveals)
        labels << rawValue(reveal);
    auto* picker = new SegmentedControl(labels);
    picker->setAccessibleName(QStringLiteral("Animacja GIF"));
    picker->setObjectName(QStringLiteral("animationPicker"));
    const auto show = [&model, picker] {
        for (int i = 0; i < int(allPackReveals.size()); ++i)
            if (allPackReveals[size_t(i)] == model.animation())
                picker->setCurrent(i);
    };
    show();
    connect(&model, &PacksModel::animationChanged, picker, show);
    connect(picker, &SegmentedControl::chosen, this,
            [&model](int index) { model.setAnimation(allPackReveals[size_t(index)]); });
    column->addWidget(picker);
    auto* note = new QLabel(
        QStringLiteral("Krótki ruch odsłania kartę. Potem grafika pozostaje na ekranie."));
    note->setWordWrap(true);
    note->setForegroundRole(QPalette::PlaceholderText);
    note->setFont(Typography::font(Typography::Style::caption));
    column->addWidget(note);
    auto* draw = new QPushButton(QStringLiteral("Podgląd losowania"));
    draw->setIcon(Icons::icon(QStringLiteral("shuffle"), StudioStyle::accent()));
    draw->setCursor(Qt::PointingHandCursor);
    connect(draw, &QPushButton::clicked, this, [&model] { model.randomCard(); });
    column->addWidget(draw, 0, Qt::AlignLeft);
    auto* size = new QLabel(QStringLiteral("GIF · ") + Product::screenSizeText());
    size->setForegroundRole(QPalette::PlaceholderText);
    size->setFont(Typography::font(Typography::Style::caption));
    column->addWidget(size);
}

PacksCaptionControls::PacksCaptionControls(PacksModel& model, QWidget* parent)
    : CaptionFields(QStringLiteral("Tytuł karty"), Order::switchBelow, parent)
    , m_model(model)
    , m_meaning(new QLabel) {
    m_meaning->setWordWrap(true);
    m_meaning->setForegroundRole(QPalette::PlaceholderText);
    m_meaning->setObjectName(QStringLiteral("meaning"));
    column()->addWidget(m_meaning);
    for (auto signal :
         {&PacksModel::editsChanged, &PacksModel::slotChanged, &PacksModel::selectedIDChanged})
        connect(&m_model, signal, this, &PacksCaptionControls::sync);
    sync();
    connect(this, &CaptionFields::titleTyped, this, [this](const QString& text) {
        m_model.update([&text](PackCardEdit& edit) { type(edit, &PackCardEdit::title, text); });
    });
    connect(this, &CaptionFields::subtitleTyped, this, [this](const QString& text) {
        m_model.update([&text](PackCardEdit& edit) { type(edit, &PackCardEdit::subtitle, text); });
    });
    connect(this, &CaptionFields::captionsToggled, this,
            [this](bool on) { m_model.update([on](PackCardEdit& edit) { edit.captions = on; }); });
}

void PacksCaptionControls::sync() {
    const PackCardEdit edit = m_model.edit();
    display(edit.captions, edit.title, edit.subtitle);
    const StarterPack* pack = m_model.pack();
    m_meaning->setVisible(pack);
    if (pack)
        m_meaning->setText(pack->meanings.value(m_model.slot()));
}

} // namespace tovi
