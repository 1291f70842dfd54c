// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Registry.h"

#include <QSettings>

namespace kvorn {

/// The registry kept in an INI file of the config folder.
class IniRegistry final : public Registry
{
public:
    explicit IniRegistry(const QString &filePath);

    bool keyExists(RegistryRoot root, const QString &keyPath) const override;
    void createKey(RegistryRoot root, const QString &keyPath) override;
    std::optional<RegistryValue> value(RegistryRoot root, const QString &keyPath,
                                       const QString &name) const override;
    bool setValue(RegistryRoot root, const QString &keyPath, const QString &name,
                  const RegistryValue &value) override;
    void removeValue(RegistryRoot root, const QString &keyPath, const QString &name) override;

private:
    static QString groupOf(RegistryRoot root, const QString &keyPath);
    static QString valueKey(const QString &name);

    mutable QSettings m_store;
};

} // namespace kvorn
