#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QString>
#include <optional>

namespace tovi {

class Settings;

// The remembered places of the device: which folder was recognised as the device root, and the
// policy every start-up and sheet applies to a stored bookmark. Interface thread.
class ToviConnectionStore {
public:
    // Stores `bookmark` under "tovi.rootPermission" when `url` holds all six root folders;
    // otherwise does nothing. Never fails.
    static void rememberRoot(const QString& url, const QByteArray& bookmark, Settings& settings);

    // The folder of the bookmark stored under `key`, only when it resolves fresh. Unresolvable
    // and stale bookmarks give nothing and stay stored as they are.
    static std::optional<QString> resolve(const Settings& settings, QAnyStringView key);
    static std::optional<QString> resolve(const QByteArray& bookmark);
};

} // namespace tovi
