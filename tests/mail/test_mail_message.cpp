// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/CMessage.h"
#include "mail/CMessages.h"
#include "mail/ReplyWord.h"

#include <QTest>

using namespace kvorn;

class TestMailMessage : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void createFromText_data();
    void createFromText();
    void createFromTextWithoutHeaderEnd();
    void laterCallsKeepAbsentFields();
    void collection();
    void replyWord_data();
    void replyWord();
};

void TestMailMessage::createFromText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    const QString crlf = QStringLiteral("\r\n");
    QTest::newRow("from with display name")
        << QStringLiteral("From: \"Ann Lee\" <ann@example.test>\r\n\r\nHello\r\n") << "From"
        << QStringLiteral("\"Ann Lee\" <ann@example.test>");
    QTest::newRow("body after the empty line")
        << QStringLiteral("From: a@b\r\n\r\nHello\r\nWorld\r\n") << "MessageBody"
        << QStringLiteral("Hello\r\nWorld\r\n");
    QTest::newRow("headers before the empty line")
        << QStringLiteral("From: a@b\r\nTo: c@d\r\n\r\nx") << "Headers"
        << QStringLiteral("From: a@b\r\nTo: c@d");
    QTest::newRow("last received wins, without continuation")
        << QStringLiteral(
               "Received: from one\r\n\tby mx1\r\nReceived: from two\r\n\tby mx2\r\n\r\n")
        << "Received" << QStringLiteral("from two");
    QTest::newRow("x-priority 1 is high")
        << QStringLiteral("X-Priority: 1\r\n\r\n") << "Priority" << QStringLiteral("High");
    QTest::newRow("x-priority 1 with comment is not")
        << QStringLiteral("X-Priority: 1 (Highest)\r\n\r\n") << "Priority" << QString();
    QTest::newRow("x-priority 3 is not")
        << QStringLiteral("X-Priority: 3\r\n\r\n") << "Priority" << QString();
    QTest::newRow("empty body") << QStringLiteral("Subject: s\r\n\r\n") << "MessageBody"
                                << QString();
    QTest::newRow("subject in capitals")
        << QStringLiteral("SUBJECT: Big\r\n\r\n") << "Subject" << QStringLiteral("Big");
    QTest::newRow("blank before colon fills nothing")
        << QStringLiteral("Subject : x\r\n\r\n") << "Subject" << QString();
    QTest::newRow("only blanks trimmed, tabs stay")
        << QStringLiteral("Subject:  \tTabbed\t  \r\n\r\n") << "Subject"
        << QStringLiteral("\tTabbed\t");
    QTest::newRow("value after first colon")
        << QStringLiteral("Date: Wed, 9 Dec 2026 10:00:00 +0000\r\n\r\n") << "SendDate"
        << QStringLiteral("Wed, 9 Dec 2026 10:00:00 +0000");
    QTest::newRow("encoded word stays raw")
        << QStringLiteral("Subject: =?UTF-8?B?SGVsbG8=?=\r\n\r\n") << "Subject"
        << QStringLiteral("=?UTF-8?B?SGVsbG8=?=");
    // Folded headers (a line starting with a blank or a tab continues the one above).
    QTest::newRow("folded subject is read whole")
        << QStringLiteral("Subject: first\r\n second\r\n\r\n") << "Subject"
        << QStringLiteral("first second");
    QTest::newRow("folded from: address on the next line")
        << QStringLiteral("From: \"Dr. Jane Q. Public, Department of Long Names\"\r\n "
                          "<person@good.test>\r\nTo: a@b\r\n\r\nx")
        << "From"
        << QStringLiteral("\"Dr. Jane Q. Public, Department of Long Names\" <person@good.test>");
    QTest::newRow("folded from: tab continuation, several lines")
        << QStringLiteral("from: Jane\r\n\tPublic\r\n\t<person@good.test>\r\n\r\n") << "From"
        << QStringLiteral("Jane\tPublic\t<person@good.test>");
    QTest::newRow("folded from: continuation is not a header of its own")
        << QStringLiteral("From: Jane\r\n Subject: not a subject\r\n\r\n") << "Subject"
        << QString();
    QTest::newRow("continuation before the first header is dropped")
        << QStringLiteral(" From: x@y\r\nSubject: s\r\n\r\n") << "From" << QString();
    QTest::newRow("folded received keeps its first line")
        << QStringLiteral("Received: from relay.test\r\n\tby mx.test; Wed, 9 Dec 2026\r\n\r\n")
        << "Received" << QStringLiteral("from relay.test");
    QTest::newRow("folded x-priority 1 with comment is not high")
        << QStringLiteral("X-Priority: 1\r\n (Highest)\r\n\r\n") << "Priority" << QString();
    QTest::newRow("8-bit header") << QStringLiteral("From: Jürgen <j@example.test>\r\n\r\n")
                                  << "From" << QStringLiteral("Jürgen <j@example.test>");
    for (const auto &[header, field] : {std::pair{"return-path", "ReturnPath"},
                                        {"sender", "Sender"},
                                        {"reply-to", "ReplyTo"},
                                        {"to", "MessageTo"},
                                        {"cc", "CC"},
                                        {"bcc", "BCC"},
                                        {"message-id", "MessageID"},
                                        {"in-reply-to", "InReplyTo"},
                                        {"references", "References"},
                                        {"keywords", "Keywords"},
                                        {"comments", "Comments"},
                                        {"encrypted", "Encrypted"}}) {
        QTest::newRow(header) << QLatin1String(header) + QStringLiteral(": v-") +
                                     QLatin1String(field) + crlf + crlf
                              << QString::fromLatin1(field)
                              << QStringLiteral("v-") + QLatin1String(field);
    }
}

static QString fieldOf(const CMessage &m, const QString &name)
{
    const std::pair<const char *, const QString CMessage::*> fields[] = {
        {"ReturnPath", &CMessage::ReturnPath},
        {"Received", &CMessage::Received},
        {"SendDate", &CMessage::SendDate},
        {"MessageID", &CMessage::MessageID},
        {"MessageTo", &CMessage::MessageTo},
        {"From", &CMessage::From},
        {"Subject", &CMessage::Subject},
        {"ReplyTo", &CMessage::ReplyTo},
        {"Sender", &CMessage::Sender},
        {"CC", &CMessage::CC},
        {"BCC", &CMessage::BCC},
        {"InReplyTo", &CMessage::InReplyTo},
        {"References", &CMessage::References},
        {"Keywords", &CMessage::Keywords},
        {"Comments", &CMessage::Comments},
        {"Encrypted", &CMessage::Encrypted},
        {"MessageText", &CMessage::MessageText},
        {"MessageBody", &CMessage::MessageBody},
        {"Headers", &CMessage::Headers},
        {"Priority", &CMessage::Priority}};
    for (const auto &[n, f] : fields) {
        if (name == QLatin1String(n))
            return m.*f;
    }
    qFatal("unknown field");
}

void TestMailMessage::createFromText()
{
    QFETCH(QString, text);
    QFETCH(QString, field);
    QFETCH(QString, expected);
    CMessage m;
    m.CreateFromText(text);
    QCOMPARE(fieldOf(m, field), expected);
    QCOMPARE(m.MessageText, text);
    QCOMPARE(m.MessSize(), text.size());
}

void TestMailMessage::createFromTextWithoutHeaderEnd()
{
    CMessage m;
    m.CreateFromText(QStringLiteral("From: a@b\r\nSubject: s\r\n"));
    QCOMPARE(m.From, QString());
    QCOMPARE(m.MessageText, QString());
    QCOMPARE(m.MessSize(), 0);
    // A bare LF is not the header end either.
    m.CreateFromText(QStringLiteral("From: a@b\n\nbody"));
    QCOMPARE(m.MessSize(), 0);
}

void TestMailMessage::laterCallsKeepAbsentFields()
{
    CMessage m;
    m.CreateFromText(QStringLiteral("From: a@b\r\nSubject: one\r\n\r\n"));
    m.CreateFromText(QStringLiteral("Subject: two\r\n\r\n"));
    QCOMPARE(m.From, QStringLiteral("a@b"));
    QCOMPARE(m.Subject, QStringLiteral("two"));
    // MessSize counts every character, CR LF pairs included.
    QCOMPARE(m.MessSize(), 16);
}

void TestMailMessage::collection()
{
    CMessages c;
    QVERIFY(c.Add(std::make_unique<CMessage>(), QString()));
    QVERIFY(c.Add(std::make_unique<CMessage>(), QString()));
    QVERIFY(c.Add(std::make_unique<CMessage>(), QStringLiteral("3")));
    CollectionError error;
    QVERIFY(!c.Add(std::make_unique<CMessage>(), QStringLiteral("3"), &error));
    QCOMPARE(error.number, 457);
    QCOMPARE(c.Count(), 3);
    QVERIFY(c.Item(QStringLiteral("3")) == c.Item(3));
    QVERIFY(!c.Item(4, &error));
    QCOMPARE(error.number, 9);
    QVERIFY(!c.Item(QStringLiteral("9"), &error));
    QCOMPARE(error.number, 5);
    QVERIFY(!c.Remove(QStringLiteral("9")));

    int n = 0;
    for (const auto &entry : c) {
        QVERIFY(entry.message);
        ++n;
    }
    QCOMPARE(n, 3);

    QVERIFY(c.Remove(1));
    QCOMPARE(c.Count(), 2);
    QVERIFY(c.Item(QStringLiteral("3")) == c.Item(2));
    c.Clear();
    QCOMPARE(c.Count(), 0);
    QVERIFY(c.Add(std::make_unique<CMessage>(), QStringLiteral("3")));
}

void TestMailMessage::replyWord_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("expected");

    const QString sp = QStringLiteral(" ");
    const QString nf = QStringLiteral("NOT FOUND");
    QTest::newRow("stat count") << QStringLiteral("+OK 3 4211\r\n") << 1 << sp
                                << QStringLiteral("3");
    QTest::newRow("stat size keeps CR LF")
        << QStringLiteral("+OK 3 4211\r\n") << 2 << sp << QStringLiteral("4211\r\n");
    QTest::newRow("uidl id") << QStringLiteral("+OK 2 000000016b19ea4f") << 2 << sp
                             << QStringLiteral("000000016b19ea4f");
    QTest::newRow("word 0") << QStringLiteral("+OK 2 x") << 0 << sp << QStringLiteral("+OK");
    QTest::newRow("word 0 without separator")
        << QStringLiteral("+OK") << 0 << sp << QStringLiteral("+OK");
    QTest::newRow("word 1 without separator is the whole text")
        << QStringLiteral("+OK") << 1 << sp << QStringLiteral("+OK");
    QTest::newRow("word 2 without separator") << QStringLiteral("+OK") << 2 << sp << nf;
    QTest::newRow("beyond the last word") << QStringLiteral("+OK 1") << 2 << sp << nf;
    QTest::newRow("separator at the end") << QStringLiteral("+OK ") << 1 << sp << nf;
    QTest::newRow("two separators make an empty word")
        << QStringLiteral("a  b") << 1 << sp << QString();
    QTest::newRow("after the empty word")
        << QStringLiteral("a  b") << 2 << sp << QStringLiteral("b");
    QTest::newRow("other separator")
        << QStringLiteral("a~b~c") << 2 << QStringLiteral("~") << QStringLiteral("c");
    QTest::newRow("empty text word 0") << QString() << 0 << sp << QString();
    QTest::newRow("empty text word 1") << QString() << 1 << sp << nf;
}

void TestMailMessage::replyWord()
{
    QFETCH(QString, text);
    QFETCH(int, n);
    QFETCH(QString, separator);
    QFETCH(QString, expected);
    QCOMPARE(ReplyWord(text, n, separator), expected);
}

QTEST_GUILESS_MAIN(TestMailMessage)
#include "test_mail_message.moc"
