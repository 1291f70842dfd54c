// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/SettingsStore.h"

#include "platform/IniFormat.h"
#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kvorn {

SettingsStore::SettingsStore(const QString &filePath)
    : m_settings(filePath, safeIniFormat())
{
    makeFolder(QFileInfo(filePath).absolutePath());
    keepDamagedFile(filePath);
    protectFile();
}

QString SettingsStore::damagedCopyPath(const QString &filePath, int age)
{
    const QString newest = filePath + QStringLiteral(".bad");
    return age == 0 ? newest : newest + QLatin1Char('.') + QString::number(age);
}

QString SettingsStore::makeRoomForDamagedCopy(const QString &filePath)
{
    // The older copies move one number up and the oldest goes: no copy of a damaged file
    // is ever written over, whatever happens at the next starts.
    for (int age = kDamagedCopies - 1; age > 0; --age) {
        const QByteArray from = QFile::encodeName(damagedCopyPath(filePath, age - 1));
        const QByteArray to = QFile::encodeName(damagedCopyPath(filePath, age));
        if (::rename(from.constData(), to.constData()) != 0 && errno != ENOENT)
            return QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(QFile::decodeName(from)),
                                                QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

void SettingsStore::keepDamagedFile(const QString &filePath)
{
    // What could be read is used; the rest falls back to its default. The next save would
    // silently replace the damaged file, so a copy is kept first and the user is told.
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray data = file.readAll();
    const QString problem = iniProblem(data);
    if (problem.isEmpty())
        return;
    const QString copy = damagedCopyPath(filePath);
    QString error;
    QFile newest(copy);
    // A start that ended before the file was saved again finds the same damage: it is
    // kept once.
    const bool keptAlready = newest.open(QIODevice::ReadOnly) && newest.readAll() == data;
    if (!keptAlready) {
        error = makeRoomForDamagedCopy(filePath);
        if (error.isEmpty())
            error = replaceFileContents(copy, data);
    }
    m_loadProblem =
        error.isEmpty()
            ? QStringLiteral("The settings file %1 is damaged (%2). The settings that could "
                             "not be read are back at their defaults; a copy of the damaged "
                             "file was kept as %3.")
                  .arg(QDir::toNativeSeparators(filePath), problem,
                       QDir::toNativeSeparators(copy))
            : QStringLiteral("The settings file %1 is damaged (%2). The settings that could "
                             "not be read are back at their defaults; no copy of the damaged "
                             "file could be kept: %3")
                  .arg(QDir::toNativeSeparators(filePath), problem, error);
}

void SettingsStore::protectFile()
{
    // Account passwords live here: create the file private so that the atomic writes of
    // QSettings (which keep the mode of the file they replace) stay private too.
    const QString path = m_settings.fileName();
    if (!QFile::exists(path))
        replaceFileContents(path, {}, kPrivateFile);
    QFile::setPermissions(path, kPrivateFile);
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
