// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/RegistryFunctions.h"

#include "platform/SafeFile.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace kvorn {

namespace {
// A program path as the Exec key of a desktop entry reads it: quoted when it holds a
// character the launcher would split or expand at, "%" doubled (field codes), and the
// key's own backslash escape on top, so that any folder the program lies in starts it.
QString execArgument(const QString &path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString arg = path;
    if (std::any_of(path.begin(), path.end(), [](QChar c) { return reserved.contains(c); })) {
        arg.clear();
        for (QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                arg += QLatin1Char('\\');
            arg += c;
        }
        arg = QLatin1Char('"') + arg + QLatin1Char('"');
    }
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    arg.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    return arg;
}
} // namespace

RegistryFunctions::RegistryFunctions(Registry &registry, QString autostartFolder)
    : m_registry(registry), m_autostartFolder(std::move(autostartFolder))
{
    // The system always has the Run key; our own store has it once we make it.
    if (!m_registry.keyExists(RegistryRoot::LocalMachine, kRunKey))
        m_registry.createKey(RegistryRoot::LocalMachine, kRunKey);
}

QString RegistryFunctions::GetWindowsFolder()
{
    // The system's shared data: where the desktop keeps its sounds and themes.
    return QStringLiteral("/usr/share");
}

QVariant RegistryFunctions::ReadRegistryValue(RegistryRoot root, const QString &keyPath,
                                              const QString &valueName) const
{
    const auto stored = m_registry.value(root, keyPath, valueName);
    if (!stored)
        return {};
    switch (stored->kind) {
    case RegistryKind::String:
    case RegistryKind::MultiString:
    case RegistryKind::ExpandString: {
        QString text = stored->data.toString();
        if (stored->kind == RegistryKind::ExpandString)
            text.replace(QStringLiteral("%SystemRoot%"), GetWindowsFolder(), Qt::CaseInsensitive);
        if (!text.isEmpty() && text.endsWith(QChar(0)))
            text.chop(1);
        return text;
    }
    case RegistryKind::Binary:
    case RegistryKind::Number:
        return QVariant::fromValue(static_cast<qint32>(stored->data.toUInt()));
    }
    return {};
}

void RegistryFunctions::WriteRegistryValue(RegistryRoot root, const QString &keyPath,
                                           const QString &valueName, const QVariant &value,
                                           RegistryKind kind)
{
    if (valueName.isEmpty())
        kind = RegistryKind::String;
    RegistryValue stored;
    if (kind == RegistryKind::Number) {
        stored.kind = RegistryKind::Number;
        stored.data = static_cast<quint32>(value.toLongLong());
    } else {
        // Strings go out NUL-terminated, as the platform stores them; reading drops the NUL.
        stored.kind = RegistryKind::String;
        stored.data = value.toString() + QChar(0);
    }
    if (!m_registry.setValue(root, keyPath, valueName, stored))
        return;
    if (isRunValue(root, keyPath, valueName))
        writeAutostart(value.toString());
}

void RegistryFunctions::DeleteRegistryValue(RegistryRoot root, const QString &keyPath,
                                            const QString &valueName)
{
    m_registry.removeValue(root, keyPath, valueName);
    if (isRunValue(root, keyPath, valueName))
        QFile::remove(autostartFile());
}

void RegistryFunctions::CreateRegistryKey(RegistryRoot root, const QString &keyPath)
{
    m_registry.createKey(root, keyPath);
}

QString RegistryFunctions::autostartFile() const
{
    return m_autostartFolder + QStringLiteral("/kvorn.desktop");
}

bool RegistryFunctions::isRunValue(RegistryRoot root, const QString &keyPath,
                                   const QString &valueName)
{
    QString path = keyPath;
    while (path.endsWith(QLatin1Char('\\')))
        path.chop(1);
    return root == RegistryRoot::LocalMachine &&
           path.compare(kRunKey, Qt::CaseInsensitive) == 0 &&
           valueName.compare(kRunValue, Qt::CaseInsensitive) == 0;
}

void RegistryFunctions::writeAutostart(const QString &command) const
{
    if (!makeFolder(m_autostartFolder))
        return;
    // A command that comes quoted is a command line already; a bare one is the program.
    const bool commandLine = command.startsWith(QLatin1Char('"'));
    const QString exec = commandLine ? command : execArgument(command);
    // Once the program is removed, TryExec keeps the session from starting a missing
    // program at every log-in. A string value only escapes backslashes and control
    // characters, not blanks.
    QString tryExec;
    if (!commandLine) {
        QString path = command;
        path.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
        path.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
        path.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
        path.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
        tryExec = QStringLiteral("TryExec=%1\n").arg(path);
    }
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=K-Vorn\n"
                                         "Comment=Screens popups, spam mail and banners\n"
                                         "%1"
                                         "Exec=%2\n"
                                         "Icon=org.kvorn.KVorn\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(tryExec, exec);
    replaceFileContents(autostartFile(), entry.toUtf8(), kSharedFile);
}

} // namespace kvorn
