// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/CMessage.h"

#include <QList>
#include <QStringView>

namespace kvorn {

namespace {
// Only blanks are trimmed: a tab at either end is part of the value.
QStringView trimBlanks(QStringView s)
{
    qsizetype begin = 0;
    qsizetype end = s.size();
    while (begin < end && s.at(begin) == QLatin1Char(' '))
        ++begin;
    while (end > begin && s.at(end - 1) == QLatin1Char(' '))
        --end;
    return s.mid(begin, end - begin);
}
} // namespace

void CMessage::CreateFromText(const QString &strMessage)
{
    static const QString kHeaderEnd = QStringLiteral("\r\n\r\n");
    const qsizetype end = strMessage.indexOf(kHeaderEnd);
    if (end < 0)
        return;
    Headers = strMessage.left(end);
    MessageBody = strMessage.mid(end + 4);
    MessageText = strMessage;

    // Mail programs fold long headers (RFC 5322): a line that starts with a blank or a tab
    // continues the header above it. A folded from line carries the address on its second
    // line, so reading only the first would leave the display name as the sender. The line
    // breaks of a fold go; its blanks stay.
    const QStringView headers(Headers);
    struct HeaderLine
    {
        QString text;
        qsizetype firstLineLength = 0;
    };
    QList<HeaderLine> lines;
    qsizetype start = 0;
    while (start <= headers.size()) {
        qsizetype stop = headers.indexOf(QLatin1String("\r\n"), start);
        if (stop < 0)
            stop = headers.size();
        const QStringView line = headers.mid(start, stop - start);
        start = stop + 2;
        const bool continuation = !line.isEmpty() && (line.front() == QLatin1Char(' ') ||
                                                      line.front() == QLatin1Char('\t'));
        if (continuation && !lines.isEmpty())
            lines.last().text += line;
        else
            lines.append({line.toString(), line.size()});
    }

    for (const HeaderLine &header : lines) {
        QStringView line(header.text);
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        const QString name = colon >= 0 ? line.left(colon).toString().toLower() : QString();
        if (name.isEmpty())
            continue;
        if (name == QLatin1String("received")) {
            // Blacklist entries for the relay are written against the received header's
            // first line, where the relay stands: that value stays as it always was.
            line = line.left(header.firstLineLength);
        }
        const QString value = trimBlanks(colon >= 0 ? line.mid(colon + 1) : line).toString();

        struct Target
        {
            const char *name;
            QString CMessage::*field;
        };
        static const Target kTargets[] = {
            {"return-path", &CMessage::ReturnPath},
            {"received", &CMessage::Received},
            {"from", &CMessage::From},
            {"sender", &CMessage::Sender},
            {"reply-to", &CMessage::ReplyTo},
            {"to", &CMessage::MessageTo},
            {"cc", &CMessage::CC},
            {"bcc", &CMessage::BCC},
            {"message-id", &CMessage::MessageID},
            {"in-reply-to", &CMessage::InReplyTo},
            {"references", &CMessage::References},
            {"keywords", &CMessage::Keywords},
            {"subject", &CMessage::Subject},
            {"comments", &CMessage::Comments},
            {"encrypted", &CMessage::Encrypted},
            {"date", &CMessage::SendDate},
        };
        bool stored = false;
        for (const Target &t : kTargets) {
            if (name == QLatin1String(t.name)) {
                this->*(t.field) = value;
                stored = true;
                break;
            }
        }
        if (!stored && name == QLatin1String("x-priority") && value == QLatin1String("1"))
            Priority = QStringLiteral("High");
    }
}

} // namespace kvorn
