#pragma once

#include <QString>
#include <optional>

namespace tovi {

// The application's read-only resources: a folder of real files. main() is the folder named by
// TOVI_RESOURCES when set, else the source tree's resources/ for a program of the build tree,
// else share/tovi-studio beside the installed binary.
class ResourceBundle {
public:
    explicit ResourceBundle(QString folder)
        : m_folder(std::move(folder)) {}
    static ResourceBundle main();

    const QString& folder() const { return m_folder; }
    // The path of `name`.`extension` when it is a regular file of the bundle.
    std::optional<QString> url(const QString& name, const QString& extension) const;

private:
    QString m_folder;
};

} // namespace tovi
