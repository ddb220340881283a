#include "studio_view.h"

#include "studio/picture_strip.h"
#include "studio/ready_size.h"
#include "studio/row_summary.h"

#include "app/polish_count.h"
#include "app/product.h"
#include "app/settings.h"
#include "device/model_binding.h"
#include "device/transfer_sheet.h"
#include "shell/controls.h"
#include "shell/crop_controls.h"
#include "shell/crop_pointer_view.h"
#include "shell/device_preview.h"
#include "shell/editor_workspace.h"
#include "shell/file_chooser.h"
#include "shell/material_panel.h"
#include "shell/photo_picker.h"
#include "shell/send_bar.h"
#include "shell/theme.h"
#include "studio/picture_row.h"
#include "studio/studio_model.h"
#include "studio/studio_panels.h"

#include <QDragEnterEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QTimer>
#include <QVBoxLayout>

namespace tovi {
namespace {

QString summaryOf(const ExportOptions& options) {
    return rawValue(options.format) + QStringLiteral(" · ") + Product::screenSizeText();
}

} // namespace

StudioView::StudioView(StudioModel& model, Settings& settings, std::function<void()> openCollection,
                       QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_settings(settings)
    , m_row(new PictureRow(model, this))
    , m_strip(new PictureStrip(*m_row))
    , m_stripRow(new QWidget)
    , m_preview(new DevicePreview)
    , m_readySize(new ReadySize)
    , m_sendBar(new SendBar(m_readySize))
    , m_context(new QWidget)
    , m_spinner(new Spinner(14))
    , m_contextText(new ElidedLabel) {
    setAcceptDrops(true);
    m_preview->installEventFilter(this);
    m_chooseFiles = [this] {
        return FileChooser::openMany(
            this, m_settings, QStringLiteral("Wybierz zdjęcie, GIF lub film"),
            QStringLiteral("Zdjęcia i filmy (*.jpg *.jpeg *.png *.gif *.webp *.heic *.heif *.bmp "
                           "*.tif *.tiff *.mp4 *.mov *.m4v *.mkv *.webm *.avi *.h264);;"
                           "Wszystkie pliki (*)"));
    };
    m_choosePhoto = [this]() -> std::optional<QString> {
        PhotoPickerDialog picker(this);
        if (picker.exec() != QDialog::Accepted)
            return std::nullopt;
        return picker.chosen();
    };

    auto* context = new QHBoxLayout(m_context);
    context->setContentsMargins(0, 0, 0, 0);
    context->setSpacing(8);
    context->addWidget(m_spinner);
    m_contextText->setFont(Typography::font(Typography::Style::caption));
    m_contextText->setForegroundRole(QPalette::PlaceholderText);
    m_contextText->setTextFormat(Qt::PlainText);
    context->addWidget(m_contextText);

    m_workspace = new EditorWorkspace(
        {EditorTool::crop, EditorTool::animation, EditorTool::caption},
        [this] { return buildMaterial(); }, [this](EditorTool tool) { return buildPanel(tool); },
        m_context);
    m_workspace->setTitle(QStringLiteral("Studio"));
    m_workspace->setSubtitle(QStringLiteral("Twoje zdjęcia, filmy i animacje"));
    m_workspace->setOpenCollection(std::move(openCollection));

    m_preview->setColor(settings.string(Settings::caseColor, QStringLiteral("silver")));
    m_preview->setActions(
        [this](double dx, double dy, double size) { m_model.panCrop(dx, dy, size); },
        [this](double delta, bool precise) { m_model.zoomCrop(delta, precise); },
        [this](double scale) { m_model.magnifyCrop(scale); });
    m_workspace->setPreview(m_preview);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(m_workspace, 1);
    // The row of pictures, under the device picture: beside it on the right are the tools.
    auto* strip = new QHBoxLayout(m_stripRow);
    strip->setContentsMargins(EditorWorkspace::padding, 0,
                              EditorWorkspace::padding * 2 + EditorWorkspace::toolColumnWidth, 10);
    strip->addWidget(m_strip);
    column->addWidget(m_stripRow);
    column->addWidget(m_sendBar);
    connect(m_row, &PictureRow::changed, this, &StudioView::syncRow);
    connect(m_row, &PictureRow::busyChanged, this, &StudioView::syncBusy);
    m_sendBar->setButton(QStringLiteral("Wyślij na Tovi"));
    connect(m_sendBar, &SendBar::triggered, this, &StudioView::openTransfer);
    // The window makes the GIF ahead of the send and shows its size beside the button.
    connect(&m_model.ready(), &ReadyExport::changed, this,
            [this] { m_readySize->show(m_model.ready()); });
    connect(m_readySize, &ReadySize::picked, this, [this](const ExportOptions& options) {
        m_model.setOptions(options);
        m_model.refreshPreview();
    });
    m_model.makeReadyAhead(true);

    connect(&m_model, &StudioModel::mediaChanged, this, &StudioView::syncMedia);
    connect(&m_model, &StudioModel::mediaNameChanged, this, &StudioView::syncBusy);
    connect(&m_model, &StudioModel::busyChanged, this, &StudioView::syncBusy);
    connect(&m_model, &StudioModel::previewChanged, this, &StudioView::syncPreview);
    connect(&m_model, &StudioModel::optionsChanged, this, &StudioView::syncPreview);
    connect(&m_model, &StudioModel::optionsChanged, this, &StudioView::syncSendBar);
    connect(&m_model, &StudioModel::errorChanged, this, &StudioView::showError);

    // The fragment plays on the display while it is in sight, unless motion is to be reduced.
    FragmentPlayback& playback = m_model.playback();
    playback.setEnabled(!Theme::reduceMotion());
    connect(&playback, &FragmentPlayback::frameChanged, this, &StudioView::showFrame);
    connect(&playback, &FragmentPlayback::pausedChanged, this, &StudioView::showFrame);
    connect(m_preview, &DevicePreview::playPause, this,
            [&playback] { playback.setPaused(!playback.paused()); });
    connect(m_preview, &DevicePreview::visibleChanged, this,
            [&playback](bool visible) { playback.setHidden(!visible); });

    m_workspace->setSelected(EditorTool::crop);
    syncMedia();
    syncBusy();
    syncPreview();
    syncRow();
}

StudioView::~StudioView() = default;

bool StudioView::busy() const {
    return m_model.busy() || m_row->busy();
}

void StudioView::syncRow() {
    m_stripRow->setVisible(m_row->count() > 1);
    m_sendBar->setButton(m_row->sendLabel());
}

void StudioView::setDeviceColor(const QString& color) {
    m_preview->setColor(color);
}

void StudioView::setFileChooser(std::function<std::optional<QString>()> chooser) {
    m_chooseFiles = [chooser = std::move(chooser)] {
        const auto chosen = chooser ? chooser() : std::nullopt;
        return chosen ? QStringList{*chosen} : QStringList();
    };
}

void StudioView::setFilesChooser(std::function<QStringList()> chooser) {
    m_chooseFiles = std::move(chooser);
}

void StudioView::setPhotoChooser(std::function<std::optional<QString>()> chooser) {
    m_choosePhoto = std::move(chooser);
}

void StudioView::importFile(const QString& path) {
    importFiles({path});
}

void StudioView::importFiles(const QStringList& paths) {
    m_row->add(paths);
}

void StudioView::addMaterial() {
    if (busy())
        return;
    if (m_chooseFiles)
        importFiles(m_chooseFiles());
}

QWidget* StudioView::buildMaterial() {
    auto* photos =
        new MaterialRow(QStringLiteral("Biblioteka zdjęć"), QStringLiteral("photo.on.rectangle"));
    connect(photos, &QAbstractButton::clicked, this, [this] {
        // The library is plain files here: the model makes its own private copy of the one
        // picked, under its own name.
        if (const auto chosen = m_choosePhoto ? m_choosePhoto() : std::nullopt)
            importFile(*chosen);
    });
    auto* panel = new MaterialPanel(photos, [this] { addMaterial(); });
    panel->setEnabled(!busy());
    connect(&m_model, &StudioModel::busyChanged, panel,
            [this, panel] { panel->setEnabled(!busy()); });
    connect(m_row, &PictureRow::busyChanged, panel, [this, panel] { panel->setEnabled(!busy()); });
    return panel;
}

QWidget* StudioView::buildPanel(EditorTool tool) {
    QWidget* panel = nullptr;
    if (tool == EditorTool::crop) {
        auto* controls = new CropControls;
        controls->setCrop(m_model.options().crop);
        connect(controls, &CropControls::changed, this, [this](const CropSettings& crop) {
            ExportOptions options = m_model.options();
            options.crop = crop;
            m_model.setOptions(options);
            m_model.refreshPreview();
        });
        // Drags and scrolls on the picture move the sliders too.
        connect(&m_model, &StudioModel::optionsChanged, controls,
                [this, controls] { controls->setCrop(m_model.options().crop); });
        panel = controls;
    } else if (tool == EditorTool::animation) {
        panel = new StudioAnimationControls(m_model);
    } else {
        panel = new StudioCaptionControls(m_model);
    }
    panel->setEnabled(m_model.media().has_value());
    m_panels.emplace_back(panel);
    return panel;
}

void StudioView::syncMedia() {
    const bool loaded = m_model.media().has_value();
    if (loaded)
        m_workspace->setHint(QStringLiteral("Przeciągnij obraz · rolka zmienia zoom"));
    else
        m_workspace->setHint(QStringLiteral("Dodaj zdjęcie, GIF lub film"),
                             [this] { addMaterial(); });
    for (const auto& panel : m_panels)
        if (panel)
            panel->setEnabled(loaded);
    syncBusy();
    syncSendBar();
    syncPreview();
}

void StudioView::syncBusy() {
    const bool busy = this->busy();
    if (busy && !m_wasBusy)
        m_focus.remember(this); // before the controls that had it are disabled
    else if (!busy && m_wasBusy)
        QTimer::singleShot(0, this, [this] { m_focus.restore(); }); // once they are enabled
    m_wasBusy = busy;
    m_spinner->setVisible(busy);
    if (busy)
        m_contextText->setText(QStringLiteral("Przygotowuję…"));
    else
        m_contextText->setText(m_model.media() ? m_model.mediaName() : QString());
    m_context->setVisible(busy || m_model.media());
    m_preview->setInteractive(m_model.media() && !busy);
    syncSendBar();
}

// The frame playing, or the still preview while none is.
void StudioView::showFrame() {
    const FragmentPlayback& playback = m_model.playback();
    m_preview->setImage(playback.frame().isNull() ? m_model.preview() : playback.frame());
    m_preview->setPlayback(playback.frameCount() > 0, playback.paused());
}

void StudioView::syncPreview() {
    const ExportOptions& options = m_model.options();
    showFrame();
    PreviewTimeline::Settings animation;
    animation.rotating = options.rotation && options.format == OutputFormat::gif;
    animation.revealing = false;
    animation.rotationSeconds = options.rotationSeconds;
    animation.clockwise = options.clockwise;
    animation.fps = options.fps;
    animation.reduceMotion = Theme::reduceMotion();
    m_preview->setAnimation(animation);
}

void StudioView::syncSendBar() {
    const bool loaded = m_model.media().has_value();
    m_sendBar->setTitle(loaded ? QStringLiteral("Twój ekran jest gotowy")
                               : QStringLiteral("Zacznij od zdjęcia lub filmu"));
    m_sendBar->setSubtitle(loaded ? summaryOf(m_model.options())
                                  : QStringLiteral("Dopasuj obraz na podglądzie Tovi."));
    m_sendBar->setDisabled(!loaded || busy());
}

void StudioView::openTransfer() {
    if (m_sheet)
        return;
    ToviTransferActions actions;
    actions.chooseDestination = [this](const QString& folder) {
        m_model.chooseDestination(folder);
    };
    actions.send = [this] { m_model.prepare(true); };
    actions.exportFiles = [this] { m_model.prepare(false); };
    actions.clearError = [this] { m_model.clearError(); };
    actions.setAlbum = [this](const QString& album) { m_model.setSelectedFolder(album); };
    actions.reportError = [this](const QString& error) { m_model.reportError(error); };
    actions.stopWaiting = [this] { m_model.stopWaiting(); };
    actions.cancel = [this] { m_model.cancelExport(); };
    // A row is sent as one: measured whole, then picture by picture, with its own outcome.
    const int pictures = m_row->count();
    if (pictures > 1) {
        actions.send = [this] { m_row->send(); };
        actions.exportFiles = {};
        actions.clearError = [this] { m_row->clearError(); };
        actions.stopWaiting = [this] { m_row->stopWaiting(); };
        actions.cancel = [this] { m_row->stop(); };
        actions.stop = [this] { m_row->stop(); };
    }
    auto* sheet = new ToviTransferSheet(ToviTransferKind::artwork, m_settings, actions, this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    m_sheet = sheet;
    sheet->setPreview(m_model.preview());
    sheet->setSummary(pictures > 1 ? QString::number(pictures) + QLatin1Char(' ') +
                                         PolishCount::plural(pictures, QStringLiteral("grafika"),
                                                             QStringLiteral("grafiki"),
                                                             QStringLiteral("grafik")) +
                                         QStringLiteral(" · ") + Product::screenSizeText()
                                   : summaryOf(m_model.options()));
    sheet->setAlbum(m_model.selectedFolder());
    const auto files = [this] {
        return m_model.exportedURL().isEmpty() ? QStringList() : QStringList{m_model.exportedURL()};
    };
    if (pictures > 1) {
        sheet->addSection(new RowSummary(*m_row));
        followModel(sheet, *m_row);
        connect(m_row, &PictureRow::linesChanged, sheet, [this, sheet] {
            sheet->setDoneTitle(m_row->allWritten()
                                    ? QString()
                                    : QStringLiteral("Nie wszystko jest na Twoim Tovi."));
        });
    } else {
        sheet->setFiles(files());
        followModel(sheet, m_model);
    }
    connect(&m_model, &StudioModel::selectedFolderChanged, sheet,
            [this, sheet] { sheet->setAlbum(m_model.selectedFolder()); });
    if (pictures < 2)
        connect(&m_model, &StudioModel::exportedURLChanged, sheet,
                [sheet, files] { sheet->setFiles(files()); });
    connect(&m_model, &StudioModel::previewChanged, sheet,
            [this, sheet] { sheet->setPreview(m_model.preview()); });
    connect(&m_model, &StudioModel::exportProgress, sheet, &ToviTransferSheet::setProgress);
    sheet->open();
}

void StudioView::showError() {
    // While the sheet is open it shows the error itself.
    if (m_model.error().isEmpty() || m_alert || (m_sheet && m_sheet->isVisible()))
        return;
    m_alert = openErrorAlert(this, m_model, QStringLiteral("Nie udało się"));
}

bool StudioView::eventFilter(QObject* watched, QEvent* event) {
    const bool press = event->type() == QEvent::MouseButtonPress;
    if (watched == m_preview && (press || event->type() == QEvent::MouseButtonRelease) &&
        !m_model.media() && !m_model.busy()) {
        const auto* click = static_cast<QMouseEvent*>(event);
        if (click->button() == Qt::LeftButton &&
            m_preview->pointerView()->geometry().contains(click->position().toPoint())) {
            if (!press)
                m_workspace->setSelected(EditorTool::material);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

namespace {

QStringList localFiles(const QMimeData* brought) {
    QStringList files;
    if (brought && brought->hasUrls())
        for (const QUrl& url : brought->urls())
            if (url.isLocalFile())
                files << url.toLocalFile();
    return files;
}

} // namespace

bool StudioView::takesDrop(const QMimeData* brought) const {
    return !localFiles(brought).isEmpty();
}

void StudioView::dragEnterEvent(QDragEnterEvent* event) {
    if (takesDrop(event->mimeData()))
        event->acceptProposedAction();
}

void StudioView::dropEvent(QDropEvent* event) {
    if (const QStringList files = localFiles(event->mimeData()); !files.isEmpty()) {
        importFiles(files);
        event->acceptProposedAction();
    }
}

} // namespace tovi
