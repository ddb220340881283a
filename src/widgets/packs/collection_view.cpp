#include "collection_view.h"

#include "app/background_task.h"
#include "app/product.h"
#include "media/media_processor.h"
#include "packs/pack_renderer.h"
#include "shell/controls.h"
#include "shell/theme.h"
#include "shell/work_area.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace tovi {

PackThumbnail::PackThumbnail(const StarterPack& pack, int slot, QWidget* parent)
    : QWidget(parent)
    , m_spinner(new Spinner(18, this)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TransparentForMouseEvents); // the card's button takes the click
    runInBackground(
        this,
        [pack, slot] {
            const QImage art = PackRenderer::original(pack.artwork(slot, ResourceBundle::main()));
            return MediaProcessor::crop(art, CropSettings{}, 320);
        },
        [this](const Outcome<QImage>& outcome) {
            if (!outcome.ok())
                return; // the placeholder stays
            m_image = *outcome.value;
            m_spinner->hide();
            update();
        });
}

void PackThumbnail::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const double side = std::min(width(), height());
    const QRectF circle((width() - side) / 2, (height() - side) / 2, side, side);
    m_spinner->move(int(circle.center().x()) - m_spinner->width() / 2,
                    int(circle.center().y()) - m_spinner->height() / 2);
    QPainterPath clip;
    clip.addEllipse(circle);
    painter.setClipPath(clip);
    if (m_image.isNull())
        painter.fillRect(circle, Theme::primary(this, 0.1));
    else
        painter.drawImage(circle, m_image);
}

StudioCollectionView::StudioCollectionView(std::vector<StarterPack> packs, StudioMode mode,
                                           Choose choose, const QString& selectedID,
                                           QWidget* parent)
    : QDialog(parent)
    , m_packs(std::move(packs))
    , m_mode(mode)
    , m_choose(std::move(choose))
    , m_selectedID(selectedID)
    , m_picker(new QComboBox)
    , m_name(new QLabel)
    , m_instruction(new QLabel)
    , m_grid(new QWidget)
    , m_gridLayout(new QGridLayout(m_grid)) {
    setWindowTitle(QStringLiteral("Wybierz z kolekcji"));
    setWindowModality(Qt::WindowModal);
    WorkArea::fitSheet(this, {780, 660});
    setAutoFillBackground(true);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    auto* header = new QHBoxLayout;
    header->setContentsMargins(28, 22, 28, 18);
    auto* title = new QLabel(QStringLiteral("Wybierz z kolekcji"));
    title->setFont(Typography::font(Typography::Style::title, QFont::Bold));
    header->addWidget(title);
    header->addStretch(1);
    auto* done = new QPushButton(QStringLiteral("Gotowe"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::close);
    header->addWidget(done);
    column->addLayout(header);
    auto* divider = new QFrame;
    divider->setFrameShape(QFrame::HLine);
    divider->setForegroundRole(QPalette::Mid);
    column->addWidget(divider);

    auto* scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    auto* content = new QWidget;
    auto* body = new QVBoxLayout(content);
    body->setContentsMargins(28, 20, 28, 28);
    body->setSpacing(14);
    auto* pickerRow = new QHBoxLayout;
    auto* pickerLabel = new QLabel(QStringLiteral("Kolekcja"));
    pickerRow->addWidget(pickerLabel);
    m_picker->setAccessibleName(QStringLiteral("Kolekcja"));
    m_picker->setMinimumWidth(260);
    for (const StarterPack& pack : m_packs)
        m_picker->addItem(pack.name, pack.id);
    pickerRow->addWidget(m_picker);
    pickerRow->addStretch(1);
    body->addLayout(pickerRow);
    m_name->setFont(Typography::font(Typography::Style::title2, QFont::Bold));
    body->addWidget(m_name);
    m_instruction->setForegroundRole(QPalette::PlaceholderText);
    m_instruction->setWordWrap(true);
    m_instruction->setText(
        mode == StudioMode::artwork
            ? QStringLiteral("Wybierz jedną grafikę i dopasuj ją do swojego ekranu.")
            : QStringLiteral("Wybierz kartę do edycji. Na Tovi wyślemy komplet sześciu kart."));
    body->addWidget(m_instruction);
    m_gridLayout->setContentsMargins(0, 6, 0, 0);
    m_gridLayout->setHorizontalSpacing(22);
    m_gridLayout->setVerticalSpacing(22);
    body->addWidget(m_grid);
    if (mode == StudioMode::cards) {
        m_wholeSet = new QPushButton(QStringLiteral("Użyj całego zestawu"));
        m_wholeSet->setCursor(Qt::PointingHandCursor);
        m_wholeSet->setMinimumHeight(34);
        m_wholeSet->setStyleSheet(
            QStringLiteral("QPushButton { background: %1; color: white; border: none; "
                           "border-radius: 8px; padding: 6px 18px; font-weight: 600; }")
                .arg(StudioStyle::accent().name()));
        connect(m_wholeSet, &QPushButton::clicked, this, [this] {
            if (const StarterPack* shown = pack())
                m_choose(*shown, 0);
        });
        body->addWidget(m_wholeSet, 0, Qt::AlignLeft);
    }
    body->addStretch(1);
    scroll->setWidget(content);
    column->addWidget(scroll, 1);

    connect(m_picker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            selectPack(m_picker->itemData(index).toString());
    });
    showPack();
}

const StarterPack* StudioCollectionView::pack() const {
    for (const StarterPack& candidate : m_packs)
        if (candidate.id == m_selectedID)
            return &candidate;
    return m_packs.empty() ? nullptr : &m_packs.front();
}

void StudioCollectionView::selectPack(const QString& id) {
    m_selectedID = id;
    showPack();
}

void StudioCollectionView::showPack() {
    const StarterPack* shown = pack();
    {
        const QSignalBlocker block(m_picker);
        m_picker->setCurrentIndex(shown ? m_picker->findData(shown->id) : -1);
    }
    m_name->setVisible(shown);
    m_instruction->setVisible(shown);
    m_grid->setVisible(shown);
    if (m_wholeSet)
        m_wholeSet->setVisible(shown);
    for (QPushButton* card : m_cards)
        delete card;
    m_cards.clear();
    if (!shown)
        return;
    m_name->setText(shown->name);
    for (int slot = 0; slot < Product::cardCount; ++slot) {
        auto* card = new QPushButton;
        card->setFlat(true);
        card->setCursor(Qt::PointingHandCursor);
        const QString title = shown->cards[size_t(slot)].value(0);
        card->setAccessibleName(title);
        card->setToolTip(title);
        auto* stack = new QVBoxLayout(card);
        stack->setContentsMargins(6, 6, 6, 6);
        stack->setSpacing(8);
        stack->addWidget(new PackThumbnail(*shown, slot));
        auto* label = new QLabel(title);
        label->setFont(Typography::font(Typography::Style::body, QFont::DemiBold));
        label->setAlignment(Qt::AlignHCenter);
        label->setAttribute(Qt::WA_TransparentForMouseEvents);
        stack->addWidget(label);
        card->setMinimumHeight(210);
        card->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        connect(card, &QPushButton::clicked, this, [this, slot, id = shown->id] {
            if (const StarterPack* current = pack(); current && current->id == id)
                m_choose(*current, slot);
        });
        m_gridLayout->addWidget(card, slot / 3, slot % 3);
        m_cards.push_back(card);
    }
}

} // namespace tovi
