// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/IniRegistry.h"

#include "platform/IniFormat.h"
#include "platform/SafeFile.h"

#include <QFile>

namespace kvorn {

namespace {
constexpr auto kExistsMarker = "@key";

QString kindName(RegistryKind kind)
{
    switch (kind) {
    case RegistryKind::String: return QStringLiteral("sz");
    case RegistryKind::ExpandString: return QStringLiteral("expand_sz");
    case RegistryKind::Binary: return QStringLiteral("binary");
    case RegistryKind::Number: return QStringLiteral("dword");
    case RegistryKind::MultiString: return QStringLiteral("multi_sz");
    }
    return QStringLiteral("sz");
}

std::optional<RegistryKind> kindFromName(const QString &name)
{
    for (auto kind : {RegistryKind::String, RegistryKind::ExpandString, RegistryKind::Binary,
                      RegistryKind::Number, RegistryKind::MultiString}) {
        if (kindName(kind) == name)
            return kind;
    }
    return std::nullopt;
}
} // namespace

IniRegistry::IniRegistry(const QString &filePath) : m_store(filePath, safeIniFormat())
{
    // The registry holds no secrets, but it lives beside the settings: same protection.
    if (!QFile::exists(filePath))
        replaceFileContents(filePath, {}, kPrivateFile);
}

QString IniRegistry::groupOf(RegistryRoot root, const QString &keyPath)
{
    // Registry paths are case-insensitive and use backslashes; QSettings groups use slashes.
    QString path = keyPath.toLower();
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (path.endsWith(QLatin1Char('/')))
        path.chop(1);
    while (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    const QString rootName = root == RegistryRoot::CurrentUser ? QStringLiteral("HKEY_CURRENT_USER")
                                                               : QStringLiteral("HKEY_LOCAL_MACHINE");
    return path.isEmpty() ? rootName : rootName + QLatin1Char('/') + path;
}

QString IniRegistry::valueKey(const QString &name)
{
    return name.isEmpty() ? QStringLiteral("@default") : QStringLiteral("v.") + name.toLower();
}

bool IniRegistry::keyExists(RegistryRoot root, const QString &keyPath) const
{
    return m_store.contains(groupOf(root, keyPath) + QLatin1Char('/') + QLatin1String(kExistsMarker));
}

void IniRegistry::createKey(RegistryRoot root, const QString &keyPath)
{
    const QString group = groupOf(root, keyPath);
    const QStringList parts = group.split(QLatin1Char('/'));
    QString path;
    for (const QString &part : parts) {
        path = path.isEmpty() ? part : path + QLatin1Char('/') + part;
        m_store.setValue(path + QLatin1Char('/') + QLatin1String(kExistsMarker), true);
    }
    m_store.sync();
}

std::optional<RegistryValue> IniRegistry::value(RegistryRoot root, const QString &keyPath,
                                                const QString &name) const
{
    m_store.sync();
    const QString key = groupOf(root, keyPath) + QLatin1Char('/') + valueKey(name);
    const QVariant stored = m_store.value(key);
    if (!stored.isValid())
        return std::nullopt;
    const QStringList parts = stored.toStringList();
    if (parts.size() != 2)
        return std::nullopt;
    const auto kind = kindFromName(parts.at(0));
    if (!kind)
        return std::nullopt;
    RegistryValue result;
    result.kind = *kind;
    if (*kind == RegistryKind::Number)
        result.data = static_cast<quint32>(parts.at(1).toUInt());
    else
        result.data = parts.at(1);
    return result;
}

bool IniRegistry::setValue(RegistryRoot root, const QString &keyPath, const QString &name,
                           const RegistryValue &value)
{
    if (!keyExists(root, keyPath))
        return false;
    const QString data = value.kind == RegistryKind::Number
                             ? QString::number(value.data.toUInt())
                             : value.data.toString();
    m_store.setValue(groupOf(root, keyPath) + QLatin1Char('/') + valueKey(name),
                     QStringList{kindName(value.kind), data});
    m_store.sync();
    return m_store.status() == QSettings::NoError;
}

void IniRegistry::removeValue(RegistryRoot root, const QString &keyPath, const QString &name)
{
    m_store.remove(groupOf(root, keyPath) + QLatin1Char('/') + valueKey(name));
    m_store.sync();
}

} // namespace kvorn
