#pragma once

#include "media/media_types.h"

#include <QWidget>

class QLabel;
class QProgressBar;
class QHBoxLayout;

namespace tovi {

class ReadyExport;

// Beside the send button: the size of the GIF made ahead of the send against the device's
// limit, a small bar, and when it is too large the settings that fit, each a click away. A
// screen reader hears the size as it comes.
class ReadySize : public QWidget {
    Q_OBJECT
public:
    explicit ReadySize(QWidget* parent = nullptr);

    // Shows what `ready` holds now.
    void show(const ReadyExport& ready);

signals:
    // A suggestion was clicked: these settings fit.
    void picked(const tovi::ExportOptions& options);

private:
    void offer(const ReadyExport& ready);

    QLabel* m_text;
    QProgressBar* m_bar;
    QHBoxLayout* m_offers;
    QString m_said; // the size last told to a screen reader
};

} // namespace tovi
