// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// Where passwords are kept apart from the settings file: the desktop's keyring.
class SecretStore
{
public:
    enum class Result
    {
        Ok,
        NotFound,    ///< the keyring answered and holds no such entry
        Unavailable, ///< no keyring answered (none running, locked, refused, timed out)
    };

    virtual ~SecretStore() = default;
    virtual Result read(const QString &key, QString *secret) = 0;
    virtual Result write(const QString &key, const QString &secret) = 0;
    virtual Result remove(const QString &key) = 0;
};

} // namespace kvorn
