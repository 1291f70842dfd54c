// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailPreview.h"

#include "mail/MailAccountEdit.h"
#include "mail/ReplyWord.h"
#include "mail/UniqueId.h"

#include <algorithm>

namespace kvorn {

namespace {
const QString kGone = QStringLiteral("This message is no longer on the server.");
} // namespace

MailPreview::MailPreview(const MailSettings &settings, const MailAccounts &accounts,
                         QObject *parent)
    : QObject(parent), m_settings(settings), m_accounts(accounts)
{
}

MailPreview::~MailPreview()
{
    m_session.close();
}

void MailPreview::setSizeLimit(qint64 bytes)
{
    m_sizeLimit = bytes;
    // An endless line must not get past the limit either.
    m_session.setLineLimit(std::min(bytes, m_session.lineLimit()));
}

void MailPreview::start(const QString &accountAddress, std::int32_t number, const QString &uniqueId)
{
    cancel();
    m_source.clear();
    m_sourceBytes = 0;
    m_message = CMessage{};
    m_error.clear();
    m_number = number;
    m_uniqueId = uniqueId.trimmed();

    // The first account with the row's address; no other account's mailbox is asked.
    const int count = mailAccountCount(m_settings);
    int found = -1;
    for (int n = 0; n < count; ++n) {
        if (m_accounts[std::size_t(n)].MailName == accountAddress) {
            found = n;
            break;
        }
    }
    m_state = State::Stat;
    if (found < 0) {
        fail(QStringLiteral("No mail account has the address %1.").arg(accountAddress));
        return;
    }
    m_session.setTimeLimit(std::max<int>(1000, m_settings.ServerTO));
    m_session.begin(m_accounts[std::size_t(found)], this);
}

void MailPreview::cancel()
{
    m_state = State::Idle;
    m_session.close();
}

bool MailPreview::send(const QString &command)
{
    if (m_session.send(command))
        return true;
    fail(QStringLiteral("The connection to the mail server was lost."));
    return false;
}

void MailPreview::sessionFailed(const Pop3Session::Failure &failure)
{
    if (failure.kind == Pop3Session::Failure::Kind::TimedOut)
        fail(QStringLiteral("The mail server did not answer."));
    else
        fail(failure.text);
}

MailPreview::LineResult MailPreview::sessionLine(const QString &line)
{
    if (m_state == State::Data) {
        if (line == QLatin1String(".")) {
            complete();
            return LineResult::Done;
        }
        // The server doubles a leading dot so that no text line reads as the end marker.
        const QString text = line.startsWith(QLatin1Char('.')) ? line.mid(1) : line;
        m_source += text;
        m_source += QLatin1String("\r\n");
        m_sourceBytes += text.size() + 2;
        if (m_sourceBytes > m_sizeLimit) {
            fail(QStringLiteral("The message is larger than %1 MB; it is not shown.")
                     .arg(m_sizeLimit / (1024 * 1024)));
            return LineResult::Done;
        }
        return LineResult::Handled;
    }
    if (!line.startsWith(QLatin1Char('+'))) {
        if (!Pop3Session::isErrorReply(line))
            return LineResult::Ignored;
        if (m_state == State::Uidl) {
            // No message of that number any more: it can only have moved lower.
            if (--m_candidate > 0)
                send(QStringLiteral("UIDL %1").arg(m_candidate));
            else
                fail(kGone);
            return LineResult::Handled;
        }
        fail(line);
        return LineResult::Done;
    }
    switch (m_state) {
    case State::Idle:
    case State::Data:
        return LineResult::Ignored;
    case State::Stat: {
        bool ok = false;
        const std::int32_t count = ReplyWord(line, 1, QStringLiteral(" ")).toInt(&ok);
        if (!ok || count <= 0 || m_number <= 0) {
            fail(kGone);
            return LineResult::Done;
        }
        if (m_uniqueId.isEmpty()) {
            if (m_number > count) {
                fail(kGone);
                return LineResult::Done;
            }
            m_state = State::Retr;
            send(QStringLiteral("RETR %1").arg(m_number));
            return LineResult::Handled;
        }
        m_candidate = std::min(m_number, count);
        m_state = State::Uidl;
        send(QStringLiteral("UIDL %1").arg(m_candidate));
        return LineResult::Handled;
    }
    case State::Uidl: {
        // The whole ID, of the message asked about: a part of it, or another number's,
        // would show another message.
        const UidlReply reply = parseUidlReply(line);
        if (reply.number == m_candidate && reply.uniqueId == m_uniqueId) {
            m_state = State::Retr;
            send(QStringLiteral("RETR %1").arg(m_candidate));
            return LineResult::Handled;
        }
        if (--m_candidate > 0)
            send(QStringLiteral("UIDL %1").arg(m_candidate));
        else
            fail(kGone);
        return LineResult::Handled;
    }
    case State::Retr:
        m_state = State::Data;
        return LineResult::Handled;
    }
    return LineResult::Ignored;
}

void MailPreview::complete()
{
    m_message.CreateFromText(m_source);
    end();
}

void MailPreview::fail(const QString &why)
{
    if (m_state == State::Idle)
        return;
    m_error = why;
    m_source.clear();
    end();
}

void MailPreview::end()
{
    if (m_session.isOpen())
        m_session.send(QStringLiteral("QUIT"));
    m_state = State::Idle;
    m_session.close();
    Q_EMIT finished();
}

} // namespace kvorn
