// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/CMessage.h"
#include "mail/MailSettings.h"
#include "mail/Pop3Session.h"

#include <QObject>
#include <cstdint>

namespace kvorn {

/// The preview's own POP3 dialogue: log on to the row's account, find the row's message
/// by its unique ID (its number may have changed since the check, when processing deleted
/// a lower-numbered message), fetch it whole and log off. The message stays on the server.
class MailPreview : public QObject, private Pop3Session::Client
{
    Q_OBJECT

public:
    MailPreview(const MailSettings &settings, const MailAccounts &accounts,
                QObject *parent = nullptr);
    ~MailPreview() override;

    /// Starts the dialogue for the message numbered `number` at check time, with the
    /// unique ID the check listed (empty: the number alone is trusted), in the first
    /// account whose address is `accountAddress`. Any dialogue already running ends first.
    void start(const QString &accountAddress, std::int32_t number, const QString &uniqueId);
    /// Ends the dialogue and closes the connection.
    void cancel();
    bool isRunning() const { return m_state != State::Idle; }

    /// The message as the server holds it, status line and end marker removed and the
    /// server's doubled leading dots undone; empty until it has arrived.
    const QString &source() const { return m_source; }
    /// The header fields and the body of the fetched message.
    const CMessage &message() const { return m_message; }
    /// Why the message could not be shown; empty when it was.
    const QString &error() const { return m_error; }

    Pop3Session &session() { return m_session; }
    /// The most bytes a message may have before the preview gives up on it.
    void setSizeLimit(qint64 bytes);

Q_SIGNALS:
    /// The dialogue is over: the message arrived, or `error()` says why not.
    void finished();

private:
    enum class State
    {
        Idle,
        Stat,
        Uidl,
        Retr,
        Data,
    };

    using LineResult = Pop3Session::LineResult;

    LineResult sessionLine(const QString &line) override;
    void sessionFailed(const Pop3Session::Failure &failure) override;
    bool send(const QString &command);
    void fail(const QString &why);
    void complete();
    void end();

    const MailSettings &m_settings;
    const MailAccounts &m_accounts;
    Pop3Session m_session;
    State m_state = State::Idle;
    std::int32_t m_number = 0;
    std::int32_t m_candidate = 0;
    QString m_uniqueId;
    QString m_source;
    qint64 m_sourceBytes = 0;
    qint64 m_sizeLimit = 64 * 1024 * 1024;
    CMessage m_message;
    QString m_error;
};

} // namespace kvorn
