// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/SecretStore.h"

#include <memory>

namespace kvorn {

/// The Secret Service keyring (GNOME Keyring, KWallet, KeePassXC …) through QtKeychain.
/// Each call waits for the keyring's answer, bounded by `timeoutMs`: a keyring that never
/// answers must not hang a save at the end of the program.
class KeychainSecretStore : public SecretStore
{
public:
    explicit KeychainSecretStore(QString service, int timeoutMs = 10000);

    /// False where no session bus exists (there is no keyring to ask, and asking would only
    /// wait for the time-out).
    static bool sessionBusPresent();

    Result read(const QString &key, QString *secret) override;
    Result write(const QString &key, const QString &secret) override;
    Result remove(const QString &key) override;

private:
    template <class JobType>
    static Result ask(KeychainSecretStore &store, std::unique_ptr<JobType> &job,
                      const QString &key);

    QString m_service;
    int m_timeoutMs;
    bool m_gaveUp = false; ///< the keyring timed out once: not asked again this run
};

} // namespace kvorn
