#include "collection_view.h"

#include "app/background_task.h"
#include "app/product.h"
#include "media/media_processor.h"
#include "packs/own_packs.h"
#include "packs/pack_renderer.h"
#include "packs/packs_model.h"
#include "shell/controls.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"

#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace tovi {
namespace {

// A line across the whole sheet, between its parts.
QFrame* divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setForegroundRole(QPalette::Mid);
    return line;
}

} // namespace

PackThumbnail::PackThumbnail(std::function<QImage()> draw, QWidget* parent)
    : QWidget(parent)
    , m_spinner(new Spinner(18, this)) {
    QSizePolicy policy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    setAttribute(Qt::WA_TransparentForMouseEvents); // the card's button takes the click
    runInBackground(this, std::move(draw), [this](const Outcome<QImage>& outcome) {
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
    , m_current(selectedID)
    , m_selectedID(selectedID)
    , m_picker(new QComboBox)
    , m_name(new QLabel)
    , m_instruction(new QLabel)
    , m_grid(new QWidget)
    , m_gridLayout(new QGridLayout(m_grid))
    , m_import(
          SheetParts::flatButton(QStringLiteral("Importuj zestaw…"), QStringLiteral("importPack")))
    , m_rename(SheetParts::flatButton(QStringLiteral("Zmień nazwę…"), QStringLiteral("renamePack")))
    , m_delete(SheetParts::flatButton(QStringLiteral("Usuń"), QStringLiteral("deletePack"))) {
    const SheetParts::Skeleton parts =
        SheetParts::buildSheet(this, QStringLiteral("Wybierz z kolekcji"), {780, 660},
                               {.headerTop = 22,
                                .headerBottom = 18,
                                .bodyTop = 20,
                                .bodyBottom = 28,
                                .footerTop = 12,
                                .footerBottom = 16});
    parts.title->setFont(Typography::font(Typography::Style::title, QFont::Bold));
    auto* done = new QPushButton(QStringLiteral("Gotowe"));
    done->setObjectName(QStringLiteral("done"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &StudioCollectionView::finish);
    parts.header->addWidget(done);
    parts.outer->insertWidget(parts.outer->indexOf(parts.scroll), divider());

    QVBoxLayout* body = parts.body;
    auto* pickerRow = new QHBoxLayout;
    auto* pickerLabel = new QLabel(QStringLiteral("Kolekcja"));
    pickerLabel->setBuddy(m_picker);
    pickerRow->addWidget(pickerLabel);
    setComboName(m_picker, pickerLabel->text());
    m_picker->setMinimumWidth(260);
    fillPicker();
    pickerRow->addWidget(m_picker);
    pickerRow->addStretch(1);
    pickerRow->addWidget(m_import);
    body->addLayout(pickerRow);
    auto* nameRow = new QHBoxLayout;
    m_name->setFont(Typography::font(Typography::Style::title2, QFont::Bold));
    nameRow->addWidget(m_name, 1);
    m_rename->setAccessibleName(QStringLiteral("Zmień nazwę zestawu"));
    m_delete->setAccessibleName(QStringLiteral("Usuń zestaw"));
    for (QPushButton* button : {m_rename, m_delete}) {
        button->setToolTip(button->accessibleName());
        nameRow->addWidget(button);
    }
    body->addLayout(nameRow);
    QWidget* content = parts.scroll->widget();
    Theme::followWithStyleSheet(content,
                                [content] { return SheetParts::flatButtonStyle(content); });
    m_import->hide(); // until own packs are offered
    content->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(content, &QWidget::customContextMenuRequested, this,
            [this, content](const QPoint& at) { showMenu(content->mapToGlobal(at)); });
    m_instruction->setForegroundRole(QPalette::PlaceholderText);
    m_instruction->setWordWrap(true);
    m_instruction->setText(instructionText());
    body->addWidget(m_instruction);
    m_gridLayout->setContentsMargins(0, 6, 0, 0);
    m_gridLayout->setHorizontalSpacing(22);
    m_gridLayout->setVerticalSpacing(22);
    body->addWidget(m_grid);
    body->addStretch(1);
    if (mode == StudioMode::cards) {
        // Below the scrolling cards, so the set can be taken on any screen without scrolling.
        m_footer = parts.footerBar;
        static_cast<QVBoxLayout*>(m_footer->layout())->insertWidget(0, divider());
        auto* row = new QHBoxLayout;
        row->addStretch(1);
        m_wholeSet = new QPushButton(QStringLiteral("Użyj całego zestawu"));
        m_wholeSet->setCursor(Qt::PointingHandCursor);
        m_wholeSet->setMinimumHeight(34);
        m_wholeSet->setStyleSheet(SheetParts::accentButtonStyle());
        connect(m_wholeSet, &QPushButton::clicked, this, [this] {
            if (const StarterPack* shown = pack())
                m_choose(*shown, 0);
        });
        row->addWidget(m_wholeSet);
        parts.footer->addLayout(row);
    } else {
        parts.footerBar->hide(); // nothing is taken from below the cards here
    }

    connect(m_picker, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0)
            selectPack(m_picker->itemData(index).toString());
    });
    showPack();
}

void StudioCollectionView::offerOwnPacks(PacksModel& model, OwnPackFlow& flow) {
    m_model = &model;
    m_flow = &flow;
    const auto reload = [this] {
        m_own.clear();
        for (const OwnPack& own : m_model->ownPacks())
            m_own.push_back(own.info());
        m_damaged = m_model->library().damaged();
        fillPicker();
        showPack();
    };
    connect(&model, &PacksModel::ownPacksChanged, this, reload);
    connect(&model, &PacksModel::selectedIDChanged, this, [this] {
        m_current = m_model->selectedID();
        selectPack(m_current);
    });
    connect(m_import, &QPushButton::clicked, this, [this] { m_flow->chooseImport(this); });
    connect(m_rename, &QPushButton::clicked, this, [this] { m_flow->rename(m_selectedID, this); });
    connect(m_delete, &QPushButton::clicked, this, [this] { m_flow->remove(m_selectedID); });
    m_import->show();
    // What is done here is told here too; an outcome from before stays on the screen below.
    auto* notice = new PackNotice(flow);
    notice->setVisible(flow.working());
    notice->setContentsMargins(SheetParts::margin, 0, SheetParts::margin, 14);
    auto* column = static_cast<QVBoxLayout*>(layout());
    column->insertWidget(column->indexOf(findChild<QWidget*>(QStringLiteral("footerBar"))), notice);
    reload();
}

void StudioCollectionView::fillPicker() {
    const QSignalBlocker block(m_picker);
    m_picker->clear();
    // A heading of the list: read, not chosen.
    const auto heading = [this](const QString& text, bool bold) {
        m_picker->addItem(text);
        QStandardItem* item =
            static_cast<QStandardItemModel*>(m_picker->model())->item(m_picker->count() - 1);
        item->setFlags(Qt::NoItemFlags);
        QFont font = m_picker->font();
        font.setBold(bold);
        item->setFont(font);
    };
    if (m_model) {
        heading(QStringLiteral("Moje zestawy"), true);
        for (const StarterPack& own : m_own)
            m_picker->addItem(own.name, own.id);
        // Greyed, but chosen like the others: to read what is wrong and take it away.
        for (const OwnPackStore::Damaged& damaged : m_damaged) {
            m_picker->addItem(damagedName(damaged), damaged.id);
            m_picker->setItemData(m_picker->count() - 1,
                                  m_picker->palette().color(QPalette::Disabled, QPalette::Text),
                                  Qt::ForegroundRole);
        }
        if (m_own.empty() && m_damaged.empty())
            heading(QStringLiteral("Jeszcze żadnego – zapisz swoje karty albo zaimportuj zestaw"),
                    false);
        heading(QStringLiteral("Zestawy startowe"), true);
    }
    for (const StarterPack& pack : m_packs)
        m_picker->addItem(pack.name, pack.id);
}

QString StudioCollectionView::instructionText() const {
    return m_mode == StudioMode::artwork
               ? QStringLiteral("Wybierz jedną grafikę i dopasuj ją do swojego ekranu.")
               : QStringLiteral("Wybierz kartę do edycji. Na Tovi wyślemy komplet sześciu kart.");
}

QString StudioCollectionView::damagedName(const OwnPackStore::Damaged& damaged) {
    return (damaged.name.isEmpty() ? QStringLiteral("Zestaw bez nazwy") : damaged.name) +
           QStringLiteral(" (uszkodzony)");
}

const OwnPackStore::Damaged* StudioCollectionView::damaged() const {
    for (const OwnPackStore::Damaged& candidate : m_damaged)
        if (candidate.id == m_selectedID)
            return &candidate;
    return nullptr;
}

void StudioCollectionView::showMenu(const QPoint& at) {
    const StarterPack* shown = pack();
    const bool damaged = this->damaged();
    if (!m_model || !shown || (!damaged && !m_model->ownPack(shown->id)))
        return;
    QMenu menu(this);
    if (!damaged)
        menu.addAction(m_rename->accessibleName() + QStringLiteral("…"), m_rename,
                       &QPushButton::click);
    menu.addAction(m_delete->accessibleName(), m_delete, &QPushButton::click);
    menu.exec(at);
}

const StarterPack* StudioCollectionView::pack() const {
    for (const StarterPack& candidate : m_own)
        if (candidate.id == m_selectedID)
            return &candidate;
    for (const StarterPack& candidate : m_packs)
        if (candidate.id == m_selectedID)
            return &candidate;
    return m_packs.empty() ? nullptr : &m_packs.front();
}

void StudioCollectionView::finish() {
    // Another pack picked for the card screen is taken as "Użyj całego zestawu" takes it.
    const StarterPack* shown = pack();
    if (m_mode == StudioMode::cards && shown && !damaged() && shown->id != m_current)
        m_choose(*shown, 0);
    close();
}

void StudioCollectionView::selectPack(const QString& id) {
    m_selectedID = id;
    showPack();
}

void StudioCollectionView::showPack() {
    if (const OwnPackStore::Damaged* broken = damaged()) {
        showDamaged(*broken);
        return;
    }
    const StarterPack* shown = pack();
    m_instruction->setText(instructionText());
    {
        const QSignalBlocker block(m_picker);
        m_picker->setCurrentIndex(shown ? m_picker->findData(shown->id) : -1);
    }
    const bool own = shown && m_model && m_model->ownPack(shown->id);
    m_rename->setVisible(own);
    m_delete->setVisible(own);
    m_name->setVisible(shown);
    m_instruction->setVisible(shown);
    m_grid->setVisible(shown);
    if (m_footer)
        m_footer->setVisible(shown);
    for (QPushButton* card : m_cards)
        delete card;
    m_cards.clear();
    if (!shown)
        return;
    m_name->setText(shown->name);
    // An own pack's cards are drawn as the card screen shows them: its pictures, crops and edits.
    std::optional<PackContent> content;
    if (own) {
        try {
            content = m_model->content(shown->id);
        } catch (const ToviError&) {
            // the placeholders stay
        }
    }
    for (int slot = 0; slot < Product::cardCount; ++slot) {
        auto* card = new QPushButton;
        card->setFlat(true);
        card->setCursor(Qt::PointingHandCursor);
        QString title =
            content ? content->cards[size_t(slot)].title : shown->cards[size_t(slot)].value(0);
        if (title.isEmpty())
            title = QStringLiteral("Karta %1").arg(slot + 1);
        card->setAccessibleName(title);
        card->setToolTip(title);
        auto* stack = new QVBoxLayout(card);
        stack->setContentsMargins(6, 6, 6, 6);
        stack->setSpacing(8);
        std::function<QImage()> draw = [pack = *shown, slot] {
            return MediaProcessor::crop(
                PackRenderer::original(pack.artwork(slot, ResourceBundle::main())), {}, 320);
        };
        if (content)
            draw = [picture = content->pictures[size_t(slot)],
                    crop = content->cards[size_t(slot)].crop] {
                return MediaProcessor::crop(PackRenderer::original(picture), crop, 320);
            };
        else if (own)
            draw = []() -> QImage { throw OwnPackError(OwnPackError::missingPicture); };
        stack->addWidget(new PackThumbnail(std::move(draw)));
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

// A damaged pack: what is wrong with it and "Usuń", no cards.
void StudioCollectionView::showDamaged(const OwnPackStore::Damaged& damaged) {
    {
        const QSignalBlocker block(m_picker);
        m_picker->setCurrentIndex(m_picker->findData(damaged.id));
    }
    for (QPushButton* card : m_cards)
        delete card;
    m_cards.clear();
    m_name->setText(damagedName(damaged));
    m_name->show();
    m_instruction->setText(QStringLiteral("Tego zestawu nie da się otworzyć: %1. Możesz go "
                                          "usunąć do folderu „Usunięte zestawy”.")
                               .arg(damaged.reason));
    m_instruction->show();
    m_grid->hide();
    if (m_footer)
        m_footer->hide();
    m_rename->hide();
    m_delete->show();
}

} // namespace tovi
