// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/Resolver.h"

#include <QByteArray>
#include <memory>
#include <optional>

namespace kvorn {

/// How the c-ares resolver asks.
struct CaresResolverSettings
{
    /// Name servers as "host:port" (or "host", port 53), separated by commas; empty means
    /// the system's (/etc/resolv.conf).
    QString servers;
    /// The wait for one reply before the question is asked again (or of the next server).
    int timeoutMs = 2000;
    /// How often each server is asked before the look-up gives up.
    int tries = 2;
};

/// DNS look-ups through c-ares, driven by the Qt event loop (socket notifiers and one
/// timer): no threads, nothing blocks. A domain is asked for A, AAAA and MX at once; one
/// record of any of them is enough for "exists". At most 32 look-ups are asked at a
/// time; the others wait their turn, so that a burst of answers is never dropped.
class CaresResolver final : public Resolver
{
    Q_OBJECT

public:
    explicit CaresResolver(const CaresResolverSettings &settings = {}, QObject *parent = nullptr);
    ~CaresResolver() override;

    void lookUp(const QString &domain, QObject *context, Callback done) override;
    int pendingCount() const override;

    /// Asks other name servers from now on ("host:port,…"; empty: the system's). Questions
    /// already sent are answered "unknown"; look-ups waiting their turn go to the new ones. False,
    /// with `setupError()` saying why, when the list cannot be used; every look-up then answers
    /// "unknown".
    bool setServers(const QString &servers);
    /// Empty when the resolver can ask, else why it cannot.
    QString setupError() const;

    /// The domain as it goes into a DNS question (`dnsQuestionName`); nothing for a text that
    /// is not a host name, which is answered "unknown" without asking.
    static std::optional<QByteArray> questionName(const QString &domain);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kvorn
