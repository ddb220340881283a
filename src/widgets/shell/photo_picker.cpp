#include "photo_picker.h"

#include "app/background_task.h"

#include "media/image_source.h"
#include "media/media_processor.h"
#include "media/video_source.h"
#include "shell/theme.h"

#include <QDialogButtonBox>
#include <QDirIterator>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>

namespace tovi {
namespace {

constexpr int thumbnailSide = 132;

const QStringList& mediaSuffixes() {
    static const QStringList suffixes{
        QStringLiteral("jpg"),  QStringLiteral("jpeg"), QStringLiteral("png"),
        QStringLiteral("gif"),  QStringLiteral("webp"), QStringLiteral("heic"),
        QStringLiteral("heif"), QStringLiteral("bmp"),  QStringLiteral("tif"),
        QStringLiteral("tiff"), QStringLiteral("mp4"),  QStringLiteral("mov"),
        QStringLiteral("m4v"),  QStringLiteral("mkv"),  QStringLiteral("webm"),
        QStringLiteral("avi")};
    return suffixes;
}

// The pictures come first in the list above, the films after them.
constexpr qsizetype firstFilmSuffix = 10;

// A square thumbnail of the first picture; null when the file does not decode.
QImage thumbnail(const QString& path) {
    QImage picture;
    try {
        if (auto image = ImageSource::open(path)) {
            picture = image->frame(0, 2 * thumbnailSide);
        } else {
            VideoSource video(path);
            picture = video.frameAt(0, VideoSource::Accuracy::tolerant);
        }
    } catch (const std::exception&) {
        return {};
    }
    if (picture.isNull())
        return {};
    return MediaProcessor::crop(picture, CropSettings{}, 2 * thumbnailSide);
}

} // namespace

QStringList PhotoPickerDialog::defaultFolders() {
    QStringList folders;
    for (const auto location : {QStandardPaths::PicturesLocation, QStandardPaths::MoviesLocation}) {
        const QString folder = QStandardPaths::writableLocation(location);
        if (!folder.isEmpty() && !folders.contains(folder) && QFileInfo(folder).isDir())
            folders << folder;
    }
    return folders;
}

QStringList PhotoPickerDialog::libraryFiles(const QStringList& folders, int limit, Kind kind) {
    std::vector<QFileInfo> found;
    for (const QString& folder : folders) {
        QDirIterator it(folder, QDir::Files | QDir::Readable, QDirIterator::Subdirectories);
        // Bounded, so a huge folder tree never keeps the dialog from opening.
        for (int visited = 0; it.hasNext() && found.size() < 5000 && visited < 20000; ++visited) {
            const QFileInfo info(it.next());
            const qsizetype at = mediaSuffixes().indexOf(info.suffix().toLower());
            if (at >= 0 && (kind == Kind::media || at < firstFilmSuffix))
                found.push_back(info);
        }
    }
    std::sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() > b.lastModified();
    });
    QStringList files;
    for (const QFileInfo& info : found) {
        if (files.size() >= limit)
            break;
        files << info.absoluteFilePath();
    }
    return files;
}

PhotoPickerDialog::PhotoPickerDialog(QWidget* parent, QStringList folders, Kind kind)
    : QDialog(parent)
    , m_list(new QListWidget) {
    setWindowTitle(QStringLiteral("Biblioteka zdjęć"));
    setWindowModality(Qt::WindowModal);
    resize(720, 560);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(20, 20, 20, 16);
    column->setSpacing(12);
    auto* title = new QLabel(QStringLiteral("Biblioteka zdjęć"));
    title->setFont(Typography::font(Typography::Style::title2, QFont::Bold));
    column->addWidget(title);

    m_list->setAccessibleName(title->text());
    m_list->setViewMode(QListView::IconMode);
    m_list->setIconSize({thumbnailSide, thumbnailSide});
    m_list->setGridSize({thumbnailSide + 16, thumbnailSide + 34});
    m_list->setResizeMode(QListView::Adjust);
    m_list->setMovement(QListView::Static);
    m_list->setUniformItemSizes(true);
    m_list->setWordWrap(false);
    m_list->setTextElideMode(Qt::ElideMiddle);
    column->addWidget(m_list, 1);

    const QStringList files = libraryFiles(folders, 400, kind);
    auto* empty = new QLabel(
        QStringLiteral("W folderach Obrazy i Wideo nie ma zdjęć ani filmów. Użyj „Pliki”, aby "
                       "wybrać plik z innego miejsca."));
    empty->setWordWrap(true);
    empty->setForegroundRole(QPalette::PlaceholderText);
    empty->setVisible(files.isEmpty());
    column->addWidget(empty);

    QPixmap placeholder(thumbnailSide, thumbnailSide);
    placeholder.fill(Theme::primary(this, 0.06));
    for (const QString& file : files) {
        auto* item = new QListWidgetItem(QIcon(placeholder), QFileInfo(file).fileName());
        item->setData(Qt::UserRole, file);
        item->setToolTip(file);
        m_list->addItem(item);
    }
    // One worker draws the thumbnails in order and stops as soon as the dialog goes.
    (void)QtConcurrent::run(&workerThreads(),
                            [files, stop = m_stop, relay = InterfaceRelay(this), list = m_list] {
                                for (int row = 0; row < files.size() && !stop->load(); ++row) {
                                    const QImage picture = thumbnail(files[row]);
                                    if (picture.isNull())
                                        continue;
                                    relay([list, row, picture] {
                                        QPixmap pixmap = QPixmap::fromImage(picture);
                                        pixmap.setDevicePixelRatio(2);
                                        if (QListWidgetItem* item = list->item(row))
                                            item->setIcon(QIcon(pixmap));
                                    });
                                }
                            });

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    auto* choose = buttons->addButton(QStringLiteral("Wybierz"), QDialogButtonBox::AcceptRole);
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Anuluj"));
    choose->setEnabled(false);
    column->addWidget(buttons);
    connect(m_list, &QListWidget::itemSelectionChanged, this,
            [this, choose] { choose->setEnabled(!m_list->selectedItems().isEmpty()); });
    const auto accept = [this] {
        if (m_list->currentItem()) {
            m_chosen = m_list->currentItem()->data(Qt::UserRole).toString();
            QDialog::accept();
        }
    };
    connect(m_list, &QListWidget::itemActivated, this, accept);
    connect(buttons, &QDialogButtonBox::accepted, this, accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

PhotoPickerDialog::~PhotoPickerDialog() {
    m_stop->store(true);
}

} // namespace tovi
