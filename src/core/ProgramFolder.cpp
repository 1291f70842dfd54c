// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/ProgramFolder.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace kvorn {

namespace {
QString envPath(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}
} // namespace

ProgramPaths ProgramPaths::fromEnvironment()
{
    const QString home = QDir::homePath();
    QString data = envPath("XDG_DATA_HOME");
    if (data.isEmpty())
        data = home + QStringLiteral("/.local/share");
    QString config = envPath("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = home + QStringLiteral("/.config");

    ProgramPaths paths;
    paths.programFolder = envPath("KVORN_HOME");
    if (paths.programFolder.isEmpty())
        paths.programFolder = data + QStringLiteral("/kvorn");
    paths.configFolder = config + QStringLiteral("/kvorn");
    paths.autostartFolder = config + QStringLiteral("/autostart");
    return paths;
}

QString ProgramPaths::settingsFile() const
{
    return configFolder + QStringLiteral("/kvorn.ini");
}

QString ProgramPaths::registryFile() const
{
    return configFolder + QStringLiteral("/registry.ini");
}

QString ProgramPaths::file(const QString &name) const
{
    return programFolder + QLatin1Char('/') + name;
}

bool prepareProgramFolder(const QString &programFolder, const QString &seedFolder)
{
    if (!makeFolder(programFolder))
        return false;
    if (seedFolder.isEmpty() || !QFileInfo(seedFolder).isDir())
        return true;
    // Seed only what is missing: the user's own copies always win.
    QDirIterator it(seedFolder, QDir::Files, QDirIterator::Subdirectories);
    const QDir seed(seedFolder);
    while (it.hasNext()) {
        const QString source = it.next();
        const QString target = programFolder + QLatin1Char('/') + seed.relativeFilePath(source);
        if (QFileInfo::exists(target))
            continue;
        makeFolder(QFileInfo(target).absolutePath());
        QFile::copy(source, target);
        QFile::setPermissions(target, kSharedFile);
    }
    return true;
}

} // namespace kvorn
