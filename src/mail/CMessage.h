// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <cstdint>

namespace kvorn {

/// One fetched message's header fields, as the POP3 server returned its text.
///
/// Values are kept raw apart from unfolding: nothing is decoded, so what the user sees in
/// the mail list is what the server sent, a folded header on one line. The received value
/// alone stays the first line of its header.
class CMessage
{
public:
    /// Parses a message text (headers, empty line, body). A text without the empty line
    /// that ends the header block changes nothing.
    void CreateFromText(const QString &strMessage);
    /// Kept for the message interface; does nothing.
    std::int32_t CombineMessage() const { return 0; }

    std::int16_t Attachment = 0;
    QString Priority;
    std::int32_t Size = 0;
    QString Headers;
    QString MessageBody;
    QString MessageText;
    QString Encrypted;
    QString Comments;
    QString Keywords;
    QString References;
    QString InReplyTo;
    QString BCC;
    QString CC;
    QString Sender;
    QString ReplyTo;
    QString Subject;
    QString From;
    QString MessageTo;
    QString MessageID;
    QString SendDate;
    QString Received;
    QString ReturnPath;

    /// The length of `MessageText` in characters.
    std::int32_t MessSize() const { return static_cast<std::int32_t>(MessageText.size()); }
    /// Nothing stores a mail number; always 0.
    std::int32_t MailNumber() const { return 0; }
};

} // namespace kvorn
