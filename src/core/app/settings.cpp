#include "settings.h"

#include <QSettings>
#include <QStandardPaths>

namespace tovi {

QString Settings::defaultFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ToviStudio/ToviStudio.ini");
}

Settings::Settings(const QString& file)
    : m_settings(std::make_unique<QSettings>(file, QSettings::IniFormat)) {}

Settings::~Settings() = default;

QString Settings::file() const {
    return m_settings->fileName();
}

bool Settings::contains(QAnyStringView key) const {
    return m_settings->contains(key);
}

QString Settings::string(QAnyStringView key, const QString& fallback) const {
    const QVariant value = m_settings->value(key);
    return value.isValid() ? value.toString() : fallback;
}

int Settings::integer(QAnyStringView key, int fallback) const {
    bool ok = false;
    const int value = m_settings->value(key).toInt(&ok);
    return ok ? value : fallback;
}

QByteArray Settings::bytes(QAnyStringView key) const {
    return m_settings->value(key).toByteArray();
}

void Settings::setString(QAnyStringView key, const QString& value) {
    m_settings->setValue(key, value);
    m_settings->sync();
}

void Settings::setInteger(QAnyStringView key, int value) {
    m_settings->setValue(key, value);
    m_settings->sync();
}

void Settings::setBytes(QAnyStringView key, const QByteArray& value) {
    m_settings->setValue(key, value);
    m_settings->sync();
}

void Settings::remove(QAnyStringView key) {
    m_settings->remove(key);
    m_settings->sync();
}

} // namespace tovi
