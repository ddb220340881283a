#pragma once

#include <QAnyStringView>
#include <QByteArray>
#include <QLatin1StringView>
#include <QString>
#include <memory>

class QSettings;

namespace tovi {

// The application's few persisted settings, kept in one INI file. Every change is written out at
// once. Tests point it at a file of their own. Interface thread only; not copyable.
class Settings {
public:
    // The keys, exactly as stored.
    static constexpr QLatin1StringView caseColor{"tovi.case"};
    static constexpr QLatin1StringView tutorialVersion{"tutorial.factory-to-yours.version"};
    static constexpr QLatin1StringView album{"tovi.album"};
    static constexpr QLatin1StringView destination{"tovi.destination"};
    static constexpr QLatin1StringView rootPermission{"tovi.rootPermission"};
    static constexpr QLatin1StringView packsSelected{"packs.selected"};
    static constexpr QLatin1StringView packsDestination{"packs.destination"};
    static constexpr QLatin1StringView packsLastBackup{"packs.lastBackup"};
    // The folder the open dialogs start in: the one a file was last chosen from.
    static constexpr QLatin1StringView lastFolder{"files.lastFolder"};
    // The screen shown when the window was last used: a StudioMode's raw value.
    static constexpr QLatin1StringView screen{"window.screen"};
    // The main window's size, place and maximised state when it was last closed.
    static constexpr QLatin1StringView windowGeometry{"window.geometry"};

    // The user's settings file, "ToviStudio/ToviStudio.ini" in the user's config folder.
    static QString defaultFile();

    explicit Settings(const QString& file = defaultFile());
    ~Settings();
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    QString file() const;
    bool contains(QAnyStringView key) const;
    QString string(QAnyStringView key, const QString& fallback = {}) const;
    int integer(QAnyStringView key, int fallback = 0) const;
    // Empty when absent.
    QByteArray bytes(QAnyStringView key) const;

    void setString(QAnyStringView key, const QString& value);
    void setInteger(QAnyStringView key, int value);
    void setBytes(QAnyStringView key, const QByteArray& value);
    void remove(QAnyStringView key);

private:
    std::unique_ptr<QSettings> m_settings;
};

} // namespace tovi
