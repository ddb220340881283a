// The transfer sheet's footer: the error line, the progress while the model works, and the
// buttons; built, restyled and refreshed like the sections above it.

#include "transfer_sheet.h"

#include "app/polish_count.h"
#include "device/device_watch.h"
#include "shell/controls.h"
#include "shell/sheet_parts.h"
#include "shell/theme.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace tovi {
namespace {

using SheetParts::css;
using SheetParts::flatButton;
using SheetParts::flatButtonStyle;
using SheetParts::iconLabel;
using SheetParts::textLabel;
using SheetParts::withAlpha;

} // namespace

// The error line: a red-tinted rounded band.
QWidget* ToviTransferSheet::buildErrorLine() {
    m_errorLine = new SheetParts::Band(
        [](const QWidget*) { return withAlpha(Theme::error(), Theme::isDark() ? 0.16 : 0.09); },
        10);
    m_errorLine->setObjectName(QStringLiteral("errorLine"));
    setAlert(m_errorLine);
    auto* row = new QHBoxLayout(m_errorLine);
    row->setContentsMargins(12, 10, 12, 10);
    row->setSpacing(8);
    m_errorIcon = iconLabel(QStringLiteral("errorIcon"));
    m_errorText = textLabel({}, Typography::Style::callout, QFont::Medium);
    m_errorText->setObjectName(QStringLiteral("errorText"));
    m_errorText->setTextInteractionFlags(Qt::TextSelectableByMouse);
    row->addWidget(m_errorIcon, 0, Qt::AlignTop);
    row->addWidget(m_errorText, 1);
    m_makeRoom = flatButton(QStringLiteral("Zrób miejsce na Tovi"), QStringLiteral("makeRoom"));
    connect(m_makeRoom, &QPushButton::clicked, this, &ToviTransferSheet::openContents);
    row->addWidget(m_makeRoom, 0, Qt::AlignTop);
    return m_errorLine;
}

// What shows instead of the buttons while the model works.
QWidget* ToviTransferSheet::buildProgress() {
    m_progress = new QWidget;
    m_progress->setObjectName(QStringLiteral("progress"));
    auto* stack = new QVBoxLayout(m_progress);
    stack->setContentsMargins(0, 4, 0, 8);
    stack->setSpacing(8);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    m_progressText = textLabel({}, Typography::Style::body, QFont::Medium);
    m_progressText->setObjectName(QStringLiteral("progressText"));
    row->addStretch(1);
    row->addWidget(new Spinner(18));
    row->addWidget(m_progressText);
    row->addStretch(1);
    m_progressText->setWordWrap(false);
    stack->addLayout(row);
    m_progressBar = new QProgressBar;
    m_progressBar->setObjectName(QStringLiteral("progressBar"));
    m_progressBar->setTextVisible(false);
    m_progressBar->setFixedHeight(6);
    stack->addWidget(m_progressBar);
    m_progressCount = textLabel({}, Typography::Style::subheadline, QFont::Normal, true);
    m_progressCount->setObjectName(QStringLiteral("progressCount"));
    m_progressCount->setAlignment(Qt::AlignCenter);
    stack->addWidget(m_progressCount);
    // What the model says while it works (leftovers of an interrupted write removed).
    m_progressNote = textLabel({}, Typography::Style::subheadline, QFont::Normal, true);
    m_progressNote->setObjectName(QStringLiteral("progressNote"));
    m_progressNote->setAlignment(Qt::AlignCenter);
    stack->addWidget(m_progressNote);
    // A device that stopped answering: the window stays usable and the wait can end.
    m_stall = new QWidget;
    m_stall->setObjectName(QStringLiteral("stall"));
    auto* stall = new QVBoxLayout(m_stall);
    stall->setContentsMargins(0, 0, 0, 0);
    stall->setSpacing(6);
    m_stallText = textLabel(DeviceWatch::stalledText(), Typography::Style::callout, QFont::Medium);
    m_stallText->setObjectName(QStringLiteral("stallText"));
    m_stallText->setAlignment(Qt::AlignCenter);
    stall->addWidget(m_stallText);
    m_stopWaiting = flatButton(QStringLiteral("Przestań czekać"), QStringLiteral("stopWaiting"));
    connect(m_stopWaiting, &QPushButton::clicked, this, [this] {
        if (m_stalled && m_actions.stopWaiting)
            m_actions.stopWaiting();
    });
    stall->addWidget(m_stopWaiting, 0, Qt::AlignHCenter);
    stack->addWidget(m_stall);
    m_stop = flatButton(QStringLiteral("Przerwij"), QStringLiteral("stop"));
    connect(m_stop, &QPushButton::clicked, this, [this] {
        if (m_busy && m_actions.stop)
            m_actions.stop();
    });
    stack->addWidget(m_stop, 0, Qt::AlignHCenter);
    return m_progress;
}

// The main button, then what can be done with the prepared files and the backup.
void ToviTransferSheet::buildButtons(QVBoxLayout* footer) {
    m_main = new QPushButton;
    m_main->setObjectName(QStringLiteral("mainButton"));
    m_main->setDefault(true);
    m_main->setCursor(Qt::PointingHandCursor);
    m_main->setMinimumHeight(40);
    m_main->setFont(Typography::font(Typography::Style::body, QFont::DemiBold));
    // The symbol follows the label, as on the send bar.
    m_main->setLayoutDirection(Qt::RightToLeft);
    connect(m_main, &QPushButton::clicked, this, &ToviTransferSheet::runMain);
    footer->addWidget(m_main);
    footer->addSpacing(4);

    m_share = flatButton(QStringLiteral("Zapisz lub udostępnij pliki"), QStringLiteral("share"));
    connect(m_share, &QPushButton::clicked, this, [this] {
        if (!m_files.isEmpty())
            m_opener(m_files, QFileInfo(m_files.front()).absolutePath());
    });
    footer->addWidget(m_share);
    m_saveAs = flatButton(QStringLiteral("Zapisz jako…"), QStringLiteral("saveAs"));
    connect(m_saveAs, &QPushButton::clicked, this, &ToviTransferSheet::saveCopies);
    footer->addWidget(m_saveAs);
    // Where the prepared files are: the sheet never leaves a person guessing.
    m_filesNote = textLabel({}, Typography::Style::caption, QFont::Normal, true);
    m_filesNote->setObjectName(QStringLiteral("filesNote"));
    m_filesNote->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_filesNote->setAlignment(Qt::AlignCenter);
    footer->addWidget(m_filesNote);

    m_secondary =
        flatButton(QStringLiteral("Zapisz plik bez podłączania Tovi"), QStringLiteral("secondary"));
    connect(m_secondary, &QPushButton::clicked, this, [this] {
        m_operation = Operation::exportFiles;
        refresh();
        if (m_actions.exportFiles)
            m_actions.exportFiles();
    });
    footer->addWidget(m_secondary);

    m_openBackup = flatButton(QStringLiteral("Otwórz kopię poprzedniego zestawu"),
                              QStringLiteral("openBackup"));
    connect(m_openBackup, &QPushButton::clicked, this, [this] { m_opener({}, m_backup); });
    footer->addWidget(m_openBackup);
}

void ToviTransferSheet::restyleError() {
    m_errorIcon->setPixmap(
        Icons::pixmap(QStringLiteral("exclamationmark.circle"), Theme::error(), 18));
    QPalette red = m_errorText->palette();
    red.setColor(QPalette::WindowText, Theme::error());
    m_errorText->setPalette(red);
}

void ToviTransferSheet::restyleProgress() {
    const bool dark = Theme::isDark();
    m_progressBar->setStyleSheet(
        QStringLiteral("QProgressBar { background: %1; border: none; border-radius: 3px; }"
                       "QProgressBar::chunk { background: %2; border-radius: 3px; }")
            .arg(css(Theme::primary(this, dark ? 0.14 : 0.08)), StudioStyle::accent().name()));
    m_stopWaiting->setStyleSheet(flatButtonStyle(this));
    m_stop->setStyleSheet(flatButtonStyle(this));
}

void ToviTransferSheet::restyleButtons() {
    const QColor accent = StudioStyle::accent();
    m_main->setStyleSheet(
        QStringLiteral(
            "QPushButton { background: %1; color: white; border: none; border-radius: 10px;"
            " padding: 8px 16px; }"
            "QPushButton:hover { background: %2; }"
            "QPushButton:pressed { background: %3; }"
            "QPushButton:disabled { background: %4; color: rgba(255,255,255,150); }"
            // The keyboard starts here: it shows, in the same size.
            "QPushButton:focus { border: 2px solid %5; padding: 6px 14px; }")
            .arg(accent.name(), accent.lighter(108).name(), accent.darker(115).name(),
                 css(Theme::primary(this, 0.3)), accent.darker(160).name()));
    const QString flat = flatButtonStyle(this);
    for (QPushButton* button :
         {m_share, m_saveAs, m_secondary, m_openBackup, m_makeRoom, m_contents})
        button->setStyleSheet(flat);
    m_share->setIcon(Icons::icon(QStringLiteral("square.and.arrow.up"), accent, 16));
    m_openBackup->setIcon(Icons::icon(QStringLiteral("clock.arrow.circlepath"), accent, 16));
}

void ToviTransferSheet::refreshError() {
    m_errorLine->setVisible(!m_error.isEmpty());
    m_errorText->setText(m_error);
    m_errorLine->setAccessibleName(m_error);
    m_makeRoom->setVisible(deviceFull());
}

void ToviTransferSheet::refreshProgress() {
    m_progress->setVisible(m_busy);
    if (m_operation == Operation::send)
        m_progressText->setText(QStringLiteral("Przygotowuję i zapisuję…"));
    else if (m_operation == Operation::exportFiles)
        m_progressText->setText(QStringLiteral("Przygotowuję pliki…"));
    else
        m_progressText->clear();
    const bool counted = m_busy && m_operation == Operation::send && m_total > 0;
    m_progressBar->setVisible(counted);
    m_progressCount->setVisible(counted);
    if (counted) {
        m_progressBar->setRange(0, m_total);
        m_progressBar->setValue(std::clamp(m_done, 0, m_total));
        m_progressCount->setText(PolishCount::framesDone(m_done, m_total));
    }
    const bool stalled = m_busy && m_stalled;
    m_stall->setVisible(stalled);
    m_progressNote->setVisible(m_busy && !stalled && !m_message.isEmpty());
    m_progressNote->setText(m_message);
    m_stop->setVisible(m_busy && !stalled && m_actions.stop);
}

void ToviTransferSheet::refreshButtons() {
    m_main->setVisible(!m_busy);
    if (m_complete) {
        m_main->setText(QStringLiteral("Wróć do tworzenia"));
        m_main->setIcon({});
    } else if (!m_ready) {
        m_main->setText(QStringLiteral("Połącz Tovi"));
        m_main->setIcon(Icons::icon(QStringLiteral("cable.connector"), Qt::white, 16));
    } else {
        switch (m_kind) {
        case ToviTransferKind::artwork:
            m_main->setText(QStringLiteral("Wyślij grafikę"));
            break;
        case ToviTransferKind::cards:
            m_main->setText(QStringLiteral("Zachowaj kopię i wyślij zestaw"));
            break;
        case ToviTransferKind::factory:
            m_main->setText(QStringLiteral("Zachowaj kopię i przywróć kostkę"));
            break;
        }
        m_main->setIcon(Icons::icon(QStringLiteral("arrow.up.right"), Qt::white, 14));
    }
    m_main->setAccessibleName(m_main->text());

    const bool share = !m_files.isEmpty() && m_operation == Operation::exportFiles;
    m_share->setVisible(share);
    m_saveAs->setVisible(share);
    m_filesNote->setVisible(share);
    if (share) {
        QStringList names;
        for (const QString& file : m_files)
            names << QFileInfo(file).fileName();
        m_filesNote->setText(
            (m_files.size() == 1 ? QStringLiteral("Plik: ") : QStringLiteral("Pliki: ")) +
            names.join(QStringLiteral(", ")) + QStringLiteral("\nw folderze ") +
            QFileInfo(m_files.front()).absolutePath());
    }
    m_secondary->setVisible(!share && m_kind != ToviTransferKind::factory && m_actions.exportFiles);
    m_openBackup->setVisible(m_complete && !m_backup.isEmpty());
    for (QPushButton* button : {m_share, m_saveAs, m_secondary, m_openBackup})
        button->setEnabled(!m_busy);
}

} // namespace tovi
