// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Registry.h"

#include <QString>
#include <QVariant>

namespace kvorn {

/// The registry key whose value "K-Vorn" starts the program with the desktop session.
inline const QString kRunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");
inline const QString kRunValue = QStringLiteral("K-Vorn");

/// Direct registry access: reads and writes single values, never reports failure.
///
/// Writing the Run value "K-Vorn" also creates the desktop's autostart entry, deleting
/// it removes the entry, so that "start with the session" works the Linux way.
class RegistryFunctions
{
public:
    RegistryFunctions(Registry &registry, QString autostartFolder);

    /// A text, a 32-bit number, or an invalid (empty) value when there is none.
    QVariant ReadRegistryValue(RegistryRoot root, const QString &keyPath,
                               const QString &valueName) const;
    /// Kind 4 writes a 32-bit number; every other kind writes a string.
    void WriteRegistryValue(RegistryRoot root, const QString &keyPath, const QString &valueName,
                            const QVariant &value, RegistryKind kind);
    void DeleteRegistryValue(RegistryRoot root, const QString &keyPath, const QString &valueName);
    void CreateRegistryKey(RegistryRoot root, const QString &keyPath);
    /// The folder that "%SystemRoot%" stands for.
    static QString GetWindowsFolder();

    /// The autostart entry that the Run value stands for.
    QString autostartFile() const;

private:
    static bool isRunValue(RegistryRoot root, const QString &keyPath, const QString &valueName);
    void writeAutostart(const QString &command) const;

    Registry &m_registry;
    QString m_autostartFolder;
};

} // namespace kvorn
