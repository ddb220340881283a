#include "packs_view.h"

#include "app/product.h"
#include "app/settings.h"
#include "device/model_binding.h"
#include "packs/own_packs.h"
#include "packs/packs_model.h"
#include "packs/packs_panels.h"
#include "shell/controls.h"
#include "shell/crop_controls.h"
#include "shell/device_preview.h"
#include "shell/editor_workspace.h"
#include "shell/file_chooser.h"
#include "shell/material_panel.h"
#include "shell/photo_picker.h"
#include "shell/send_bar.h"
#include "shell/theme.h"
#include "shell/url_opener.h"

#include <QButtonGroup>
#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

namespace tovi {
namespace {

// One card of the strip: its preview in a rounded tile, its number, the accent when chosen.
class CardButton : public QAbstractButton {
public:
    CardButton(int slot, QWidget* parent = nullptr)
        : QAbstractButton(parent)
        , m_slot(slot) {
        setCheckable(true);
        setFixedSize(54, 60);
        setFocusPolicy(Qt::StrongFocus);
        setCursor(Qt::PointingHandCursor);
        setAccessibleName(QStringLiteral("Karta %1").arg(slot + 1));
        setAccessibleRole(this, QAccessible::RadioButton);
        setToolTip(accessibleName());
    }
    void setPicture(const QImage& picture) {
        m_picture = picture.isNull()
                        ? QImage()
                        : picture.scaled(88, 88, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setOpacity(isEnabled() ? 1.0 : 0.45);
        const QRectF tile((width() - 44) / 2.0, 1, 44, 44);
        QPainterPath round;
        round.addEllipse(tile);
        painter.save();
        painter.setClipPath(round);
        if (m_picture.isNull())
            painter.fillRect(tile, Theme::primary(this, 0.12));
        else
            painter.drawImage(tile, m_picture);
        painter.restore();
        const QColor accent = StudioStyle::accent();
        painter.setPen(isChecked() ? QPen(accent, 2.5) : QPen(Theme::primary(this, 0.15), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(tile.adjusted(-1, -1, 1, 1));
        QFont font = Typography::font(Typography::Style::caption, QFont::DemiBold);
        painter.setFont(font);
        painter.setPen(isChecked() ? accent : Theme::secondary(this));
        painter.drawText(QRectF(0, 46, width(), 14), Qt::AlignCenter, QString::number(m_slot + 1));
        if (hasFocus()) { // the keyboard's place, as the swatches show it
            painter.setBrush(Qt::NoBrush);
            painter.setPen(QPen(accent, 1, Qt::DotLine));
            painter.drawEllipse(tile.adjusted(-3.5, -3.5, 3.5, 3.5));
        }
    }

private:
    int m_slot;
    QImage m_picture;
};

QString summaryOf(const PacksModel& model, bool factory) {
    if (factory)
        return QStringLiteral("Oryginalna kostka Tovi · 6 kart");
    return (model.pack() ? model.pack()->name : QStringLiteral("Zestaw")) +
           QStringLiteral(" · 6 kart");
}

} // namespace

PacksView::PacksView(PacksModel& model, Settings& settings, std::function<void()> openCollection,
                     QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_settings(settings)
    , m_preview(new DevicePreview)
    , m_options(new QToolButton)
    , m_sendBar(new SendBar(m_options))
    , m_ownPacks(new OwnPackFlow(model, settings, this))
    , m_notice(new PackNotice(*m_ownPacks)) {
    setAcceptDrops(true);
    m_chooseFile = [this] {
        return FileChooser::open(this, m_settings, QStringLiteral("Wybierz zdjęcie"),
                                 QStringLiteral("Zdjęcia (*.jpg *.jpeg *.png *.gif *.webp *.heic "
                                                "*.heif *.bmp *.tif *.tiff);;Wszystkie pliki (*)"));
    };
    m_choosePhoto = [this]() -> std::optional<QString> {
        PhotoPickerDialog picker(this, PhotoPickerDialog::defaultFolders(),
                                 PhotoPickerDialog::Kind::images);
        return picker.exec() == QDialog::Accepted ? picker.chosen() : std::nullopt;
    };
    m_openFolder = [](const QString& folder) { UrlOpener::open(QUrl::fromLocalFile(folder)); };

    m_workspace = new EditorWorkspace(
        {EditorTool::crop, EditorTool::animation, EditorTool::caption},
        [this] { return buildMaterial(); }, [this](EditorTool tool) { return buildPanel(tool); },
        buildStrip());
    m_workspace->setTitle(QStringLiteral("Studio"));
    m_workspace->setHint(QStringLiteral("Przeciągnij obraz · rolka zmienia zoom"));
    m_workspace->setOpenCollection(std::move(openCollection));
    m_preview->setColor(settings.string(Settings::caseColor, QStringLiteral("silver")));
    m_preview->setActions([this](double dx, double dy, double size) { m_model.pan(dx, dy, size); },
                          [this](double delta, bool precise) { m_model.zoom(delta, precise); },
                          [this](double scale) { m_model.magnify(scale); });
    m_workspace->setPreview(m_preview);

    m_sendBar->setTitle(QStringLiteral("Twój zestaw jest gotowy"));
    m_sendBar->setSubtitle(QStringLiteral("%1 kart · GIF · %2 · Game1")
                               .arg(Product::cardCount)
                               .arg(Product::screenSizeText()));
    m_sendBar->setButton(QStringLiteral("Wyślij na Tovi"));
    m_options->setAccessibleName(QStringLiteral("Opcje zestawów"));
    m_options->setToolTip(QStringLiteral("Opcje zestawów"));
    m_options->setAutoRaise(true);
    m_options->setIconSize({22, 22});
    Theme::followWithIcon(m_options, QStringLiteral("ellipsis.circle"), 22, 0.8);
    auto* menu = new QMenu(m_options);
    const auto add = [this, menu](const QString& text, const QString& name,
                                  std::function<void()> action) {
        QAction* added = menu->addAction(text);
        added->setObjectName(name);
        connect(added, &QAction::triggered, this, std::move(action));
        return added;
    };
    const QList<QAction*> packActions{
        add(QStringLiteral("Zapisz jako mój zestaw…"), QStringLiteral("savePack"),
            [this] { m_ownPacks->save(this); }),
        add(QStringLiteral("Udostępnij zestaw…"), QStringLiteral("sharePack"),
            [this] { m_ownPacks->share(m_model.selectedID(), this); }),
        add(QStringLiteral("Importuj zestaw…"), QStringLiteral("importPack"),
            [this] { m_ownPacks->chooseImport(this); }),
        add(QStringLiteral("Zmień nazwę zestawu…"), QStringLiteral("renamePack"),
            [this] { m_ownPacks->rename(m_model.selectedID(), this); }),
        add(QStringLiteral("Usuń zestaw"), QStringLiteral("deletePack"),
            [this] { m_ownPacks->remove(m_model.selectedID()); })};
    menu->addSeparator();
    QAction* factory = menu->addAction(QStringLiteral("Przywróć fabryczną kostkę…"));
    QAction* backup = menu->addAction(QStringLiteral("Pokaż ostatnią kopię"));
    backup->setObjectName(QStringLiteral("showBackup"));
    connect(factory, &QAction::triggered, this, [this] { openTransfer(true); });
    connect(backup, &QAction::triggered, this, [this] {
        if (!m_model.lastBackup().isEmpty() && m_openFolder)
            m_openFolder(m_model.lastBackup());
    });
    connect(menu, &QMenu::aboutToShow, this, [this, backup, packActions] {
        backup->setVisible(!m_model.lastBackup().isEmpty());
        const bool own = m_model.ownPack(m_model.selectedID());
        packActions[3]->setVisible(own); // rename and delete: the person's own packs only
        packActions[4]->setVisible(own);
        for (QAction* action : packActions)
            action->setEnabled(!m_model.busy());
    });
    backup->setVisible(!m_model.lastBackup().isEmpty());
    // Opened by hand rather than as the button's own menu: that needs a style sheet to hide its
    // arrow, and a style sheet keeps the colours of the theme it was applied in.
    connect(m_options, &QToolButton::clicked, menu,
            [this, menu] { menu->popup(m_options->mapToGlobal(QPoint(0, m_options->height()))); });
    connect(m_sendBar, &SendBar::triggered, this, [this] { openTransfer(false); });

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_workspace, 1);
    m_notice->setContentsMargins(28, 0, 28, 10); // no room taken while hidden
    column->addWidget(m_notice);
    column->addWidget(m_sendBar);

    connect(m_workspace, &EditorWorkspace::selectedChanged, this, &PacksView::syncAnimation);
    for (auto signal : {&PacksModel::imagesChanged, &PacksModel::slotChanged,
                        &PacksModel::busyChanged, &PacksModel::selectedIDChanged,
                        &PacksModel::editsChanged, &PacksModel::lastBackupChanged})
        connect(&m_model, signal, this, &PacksView::sync);
    connect(&m_model, &PacksModel::animationChanged, this, &PacksView::syncAnimation);
    connect(&m_model, &PacksModel::errorChanged, this, &PacksView::showError);
    m_workspace->setSelected(EditorTool::crop);
    sync();
    syncAnimation();
}

PacksView::~PacksView() = default;

void PacksView::setDeviceColor(const QString& color) {
    m_preview->setColor(color);
}

void PacksView::setFileChooser(std::function<std::optional<QString>()> chooser) {
    m_chooseFile = std::move(chooser);
}

void PacksView::setPhotoChooser(std::function<std::optional<QString>()> chooser) {
    m_choosePhoto = std::move(chooser);
}

void PacksView::setFolderOpener(std::function<void(const QString&)> opener) {
    m_openFolder = std::move(opener);
}

QWidget* PacksView::buildStrip() {
    auto* strip = new QWidget;
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(6);
    strip->setAccessibleName(QStringLiteral("Karty zestawu"));
    auto* group = new QButtonGroup(strip);
    for (int slot = 0; slot < Product::cardCount; ++slot) {
        auto* card = new CardButton(slot);
        connect(card, &QAbstractButton::clicked, this, [this, slot] {
            m_model.selectCard(slot);
            sync(); // a refused choice puts the mark back
        });
        row->addWidget(card);
        group->addButton(card);
        m_strip.push_back(card);
    }
    makeRadioGroup(strip, group);
    return strip;
}

bool PacksView::takesDrop(const QMimeData* brought) const {
    return !m_model.busy() && brought && brought->hasUrls() &&
           brought->urls().value(0).isLocalFile();
}

void PacksView::dragEnterEvent(QDragEnterEvent* event) {
    if (takesDrop(event->mimeData()))
        event->acceptProposedAction();
}

void PacksView::dropEvent(QDropEvent* event) {
    const QUrl url = event->mimeData()->urls().value(0);
    if (!url.isLocalFile() || m_model.busy())
        return;
    const QPoint at = event->position().toPoint();
    for (int slot = 0; slot < int(m_strip.size()); ++slot) {
        QAbstractButton* card = m_strip[size_t(slot)];
        if (card->isVisible() && QRect(card->mapTo(this, QPoint()), card->size()).contains(at))
            m_model.selectCard(slot);
    }
    importImage(url.toLocalFile());
    event->acceptProposedAction();
}

void PacksView::addCardPicture() {
    if (!m_model.busy())
        importImage(m_chooseFile ? m_chooseFile() : std::nullopt);
}

void PacksView::importImage(const std::optional<QString>& path) {
    if (path)
        m_model.importImage(QUrl::fromLocalFile(*path));
}

QWidget* PacksView::buildMaterial() {
    auto* photos =
        new MaterialRow(QStringLiteral("Biblioteka zdjęć"), QStringLiteral("photo.on.rectangle"));
    connect(photos, &QAbstractButton::clicked, this,
            [this] { importImage(m_choosePhoto ? m_choosePhoto() : std::nullopt); });
    auto* panel = new MaterialPanel(
        photos, [this] { addCardPicture(); }, [this] { m_model.resetCard(); });
    panel->setEnabled(!m_model.busy());
    m_busyBound.emplace_back(panel);
    return panel;
}

QWidget* PacksView::buildPanel(EditorTool tool) {
    QWidget* panel = nullptr;
    if (tool == EditorTool::crop) {
        auto* controls = new CropControls;
        connect(controls, &CropControls::changed, this, [this](const CropSettings& crop) {
            m_model.update([crop](PackCardEdit& edit) { edit.crop = crop; });
        });
        const auto show = [this, controls] { controls->setCrop(m_model.edit().crop); };
        for (auto signal :
             {&PacksModel::editsChanged, &PacksModel::slotChanged, &PacksModel::selectedIDChanged})
            connect(&m_model, signal, controls, show);
        show();
        panel = controls;
    } else if (tool == EditorTool::animation) {
        panel = new PacksAnimationControls(m_model);
    } else {
        panel = new PacksCaptionControls(m_model);
    }
    panel->setEnabled(!m_model.busy());
    m_busyBound.emplace_back(panel);
    return panel;
}

void PacksView::sync() {
    const bool busy = m_model.busy();
    if (busy && !m_wasBusy)
        m_focus.remember(this); // before the controls that had it are disabled
    else if (!busy && m_wasBusy)
        QTimer::singleShot(0, this, [this] { m_focus.restore(); }); // once they are enabled
    m_wasBusy = busy;
    const StarterPack* pack = m_model.pack();
    m_workspace->setSubtitle(QStringLiteral("Losowane karty · ") +
                             (pack ? pack->name : QStringLiteral("Kolekcja")));
    for (int slot = 0; slot < Product::cardCount; ++slot) {
        auto* card = static_cast<CardButton*>(m_strip[size_t(slot)]);
        const auto image = m_model.images().find(slot);
        card->setPicture(image == m_model.images().end() ? QImage() : image->second);
        card->setChecked(slot == m_model.slot());
        card->setEnabled(!busy);
        card->setAccessibleDescription(m_model.editOf(slot).title);
    }
    m_preview->setImage(m_model.preview());
    m_preview->setInteractive(!busy);
    m_sendBar->setDisabled(busy);
    for (const auto& widget : m_busyBound)
        if (widget)
            widget->setEnabled(!busy);
}

void PacksView::syncAnimation() {
    // The card's motion plays only while its tool is open.
    PreviewTimeline::Settings animation;
    if (m_workspace->selected() == EditorTool::animation) {
        animation.rotating = m_model.animation() == PackReveal::spin;
        animation.revealing = m_model.animation() == PackReveal::reveal;
    }
    animation.rotationSeconds = 4;
    animation.clockwise = true;
    animation.fps = 12;
    animation.reduceMotion = Theme::reduceMotion();
    m_preview->setAnimation(animation);
}

void PacksView::openTransfer(bool factory) {
    if (m_sheet)
        return;
    ToviTransferActions actions;
    actions.chooseDestination = [this](const QString& folder) {
        m_model.chooseDestination(folder);
    };
    actions.send = [this, factory] { m_model.prepare(true, factory); };
    actions.exportFiles = [this] { m_model.prepare(false, false); };
    actions.clearError = [this] { m_model.clearError(); };
    actions.reportError = [this](const QString& error) { m_model.reportError(error); };
    actions.stopWaiting = [this] { m_model.stopWaiting(); };
    auto* sheet = new ToviTransferSheet(
        factory ? ToviTransferKind::factory : ToviTransferKind::cards, m_settings, actions, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet = sheet;
    sheet->setPreview(m_model.preview());
    sheet->setSummary(summaryOf(m_model, factory));
    sheet->setAlbum(QStringLiteral("Photo1")); // the six-card flow has no album
    sheet->setFiles(m_model.exported());
    sheet->setBackup(m_model.lastBackup());
    followModel(sheet, m_model);
    connect(&m_model, &PacksModel::exportedChanged, sheet,
            [this, sheet] { sheet->setFiles(m_model.exported()); });
    connect(&m_model, &PacksModel::lastBackupChanged, sheet,
            [this, sheet] { sheet->setBackup(m_model.lastBackup()); });
    connect(&m_model, &PacksModel::imagesChanged, sheet,
            [this, sheet] { sheet->setPreview(m_model.preview()); });
    sheet->open();
}

void PacksView::showError() {
    if (m_model.error().isEmpty() || m_alert || (m_sheet && m_sheet->isVisible()))
        return;
    m_alert = openErrorAlert(this, m_model, QStringLiteral("Nie udało się dokończyć"));
}

} // namespace tovi
