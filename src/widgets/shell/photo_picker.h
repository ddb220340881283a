#pragma once

#include <QDialog>
#include <QStringList>
#include <atomic>
#include <memory>
#include <optional>

class QListWidget;

namespace tovi {

// The photo library of this desktop: the pictures and films in the user's Pictures and Videos
// folders, newest first, as thumbnails drawn in the background. Returns the chosen file.
class PhotoPickerDialog : public QDialog {
    Q_OBJECT
public:
    // Pictures and films, or pictures only.
    enum class Kind { media, images };
    explicit PhotoPickerDialog(QWidget* parent = nullptr, QStringList folders = defaultFolders(),
                               Kind kind = Kind::media);
    ~PhotoPickerDialog() override;
    static QStringList defaultFolders();
    // The files the dialog offers, newest first (at most `limit`).
    static QStringList libraryFiles(const QStringList& folders, int limit = 400,
                                    Kind kind = Kind::media);
    std::optional<QString> chosen() const { return m_chosen; }

private:
    QListWidget* m_list;
    std::optional<QString> m_chosen;
    std::shared_ptr<std::atomic_bool> m_stop = std::make_shared<std::atomic_bool>(false);
};

} // namespace tovi
