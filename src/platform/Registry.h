// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QVariant>

#include <optional>

namespace kvorn {

/// The two registry roots the program uses.
enum class RegistryRoot { CurrentUser, LocalMachine };

/// The value kinds a registry value can hold.
enum class RegistryKind { String = 1, ExpandString = 2, Binary = 3, Number = 4, MultiString = 7 };

/// One stored registry value: its kind and its data (text, or a 32-bit number).
struct RegistryValue
{
    RegistryKind kind = RegistryKind::String;
    QVariant data;
};

/// A hierarchical typed key/value store with the registry's semantics (case-insensitive keys).
class Registry
{
public:
    virtual ~Registry() = default;
    /// True when the key exists.
    virtual bool keyExists(RegistryRoot root, const QString &keyPath) const = 0;
    /// Creates the key and its missing parents.
    virtual void createKey(RegistryRoot root, const QString &keyPath) = 0;
    /// The value, or nothing when the key or value is missing. An empty name is the default value.
    virtual std::optional<RegistryValue> value(RegistryRoot root, const QString &keyPath,
                                               const QString &name) const = 0;
    /// Writes a value into an existing key; false when the key does not exist.
    virtual bool setValue(RegistryRoot root, const QString &keyPath, const QString &name,
                          const RegistryValue &value) = 0;
    /// Removes a value; nothing happens when it is missing.
    virtual void removeValue(RegistryRoot root, const QString &keyPath, const QString &name) = 0;
};

} // namespace kvorn
