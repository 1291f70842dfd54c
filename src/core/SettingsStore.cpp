#include "core/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace kvorn {

SettingsStore::SettingsStore(const QString &filePath) : m_settings(filePath, QSettings::IniFormat)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    protectFile();
}

void SettingsStore::protectFile()
{
    // Account passwords live here: create the file private so that the atomic writes of
    // QSettings (which keep the mode of the file they replace) stay private too.
    const QString path = m_settings.fileName();
    if (!QFile::exists(path)) {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.close();
    }
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

QString SettingsStore::keyPath(const QString &section, const QString &key)
{
    QString path = section;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return key.isEmpty() ? path : path + QLatin1Char('/') + key;
}

std::optional<QString> SettingsStore::read(const QString &section, const QString &key) const
{
    const QVariant v = m_settings.value(keyPath(section, key));
    if (!v.isValid())
        return std::nullopt;
    // A hand-edited value with an unquoted comma comes back as a list; keep it a text.
    if (v.typeId() == QMetaType::QStringList)
        return v.toStringList().join(QLatin1Char(','));
    return v.toString();
}

QString SettingsStore::read(const QString &section, const QString &key,
                            const QString &fallback) const
{
    return read(section, key).value_or(fallback);
}

void SettingsStore::write(const QString &section, const QString &key, const QString &text)
{
    m_settings.setValue(keyPath(section, key), text);
}

void SettingsStore::remove(const QString &section, const QString &key)
{
    m_settings.remove(keyPath(section, key));
}

bool SettingsStore::save()
{
    protectFile();
    m_settings.sync();
    return m_settings.status() == QSettings::NoError;
}

void SettingsStore::reload()
{
    m_settings.sync();
}

} // namespace kvorn
