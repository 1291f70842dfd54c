// SPDX-License-Identifier: GPL-3.0-or-later
#include "DnsTestServer.h"
#include "fakes/FakeResolver.h"
#include "fakes/TestEnv.h"
#include "platform/CachingResolver.h"
#include "platform/CaresResolver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <optional>

using namespace kvorn;
using namespace kvorn::test;

Q_DECLARE_METATYPE(kvorn::DomainState)

using ReplyCodes = QHash<int, int>; // record type -> reply code

namespace {

// Looks a domain up and waits (running the event loop) for the answer.
std::optional<DomainAnswer> ask(Resolver &resolver, const QString &domain, int waitMs = 10000)
{
    std::optional<DomainAnswer> result;
    QObject context;
    resolver.lookUp(domain, &context, [&](const DomainAnswer &a) { result = a; });
    (void)QTest::qWaitFor([&] { return result.has_value(); }, waitMs);
    return result;
}

CaresResolverSettings quick(const QString &servers)
{
    CaresResolverSettings s;
    s.servers = servers;
    s.timeoutMs = 300;
    s.tries = 2;
    return s;
}

} // namespace

class TestResolver : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        QVERIFY2(m_dns.start(&error), qPrintable(error));
    }

    void answersFromTheServer_data()
    {
        QTest::addColumn<QString>("domain");
        QTest::addColumn<DomainState>("state");
        QTest::addColumn<QString>("detail");

        QTest::newRow("address record") << "known.test" << DomainState::Exists << "found";
        QTest::newRow("mail exchanger only") << "only-mx.test" << DomainState::Exists << "found";
        QTest::newRow("IPv6 address only") << "v6only.test" << DomainState::Exists << "found";
        QTest::newRow("letter case and final dot")
            << "Known.TEST." << DomainState::Exists << "found";
        QTest::newRow("no such domain")
            << "nowhere.test" << DomainState::DoesNotExist << "no such domain";
        QTest::newRow("name without address or exchanger")
            << "txt-only.test" << DomainState::DoesNotExist
            << "no address or mail exchanger record";
        // Texts that are no host name are never asked, and never "does not exist": a display
        // name or a text cut at a NUL would otherwise get a real message deleted.
        const QString notAName = QStringLiteral("not a domain name");
        QTest::newRow("display name") << "John Smith" << DomainState::Unknown << notAName;
        QTest::newRow("empty") << "" << DomainState::Unknown << notAName;
        QTest::newRow("empty label") << "a..test" << DomainState::Unknown << notAName;
        QTest::newRow("label too long")
            << QString(64, QLatin1Char('a')) + ".test" << DomainState::Unknown << notAName;
        QTest::newRow("NUL inside") << QStringLiteral("nowhere.test") + QChar(0) + "known.test"
                                    << DomainState::Unknown << notAName;
        QTest::newRow("NUL at the end")
            << QStringLiteral("nowhere.test") + QChar(0) << DomainState::Unknown << notAName;
        QTest::newRow("address in brackets") << "[127.0.0.1]" << DomainState::Unknown << notAName;
        QTest::newRow("bare address") << "127.0.0.1" << DomainState::Unknown << notAName;
        QTest::newRow("comment after the domain")
            << "nowhere.test (Jane)" << DomainState::Unknown << notAName;
        QTest::newRow("hyphen at a label's end")
            << "nowhere-.test" << DomainState::Unknown << notAName;
        QTest::newRow("single label is a name")
            << "MAILER-DAEMON" << DomainState::DoesNotExist << "no such domain";
    }

    void answersFromTheServer()
    {
        QFETCH(QString, domain);
        QFETCH(DomainState, state);
        QFETCH(QString, detail);
        CaresResolver resolver(quick(m_dns.server()));
        QCOMPARE(resolver.setupError(), QString());
        const auto answer = ask(resolver, domain);
        QVERIFY(answer);
        QCOMPARE(answer->domain, domain);
        QCOMPARE(domainStateName(answer->state), domainStateName(state));
        QCOMPARE(answer->detail, detail);
        QCOMPARE(resolver.pendingCount(), 0);
    }

    // Many questions at once; none is answered inside lookUp(), each exactly once.
    void answersLaterAndEachOnce()
    {
        CaresResolver resolver(quick(m_dns.server()));
        QSignalSpy spy(&resolver, &Resolver::answered);
        QHash<QString, int> calls;
        QHash<QString, DomainState> states;
        QObject context;
        const QStringList domains = {"known.test",     "nowhere.test",  "only-mx.test",
                                     "a.nowhere.test", "txt-only.test", "v6only.test",
                                     "b.nowhere.test", "known.test"};
        for (const QString &d : domains) {
            resolver.lookUp(d, &context, [&](const DomainAnswer &a) {
                ++calls[a.domain];
                states[a.domain] = a.state;
            });
        }
        QVERIFY(calls.isEmpty());
        QCOMPARE(resolver.pendingCount(), domains.size());
        QTRY_COMPARE_WITH_TIMEOUT(spy.count(), domains.size(), 10000);
        QTest::qWait(100);
        QCOMPARE(spy.count(), domains.size());
        QCOMPARE(calls.value(QStringLiteral("known.test")), 2);
        QCOMPARE(calls.value(QStringLiteral("nowhere.test")), 1);
        QCOMPARE(states.value(QStringLiteral("only-mx.test")), DomainState::Exists);
        QCOMPARE(states.value(QStringLiteral("b.nowhere.test")), DomainState::DoesNotExist);
        QCOMPARE(resolver.pendingCount(), 0);
    }

    // A burst bigger than a socket's receive buffer holds: every answer comes, none
    // through a time-out and a second try.
    void aBurstOfLookUpsIsAnsweredPromptly()
    {
        CaresResolverSettings settings;
        settings.servers = m_dns.server();
        settings.timeoutMs = 3000;
        CaresResolver resolver(settings);
        QObject context;
        int exists = 0;
        int doesNotExist = 0;
        int left = 400;
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < 400; ++i) {
            const QString domain =
                i % 2 ? QStringLiteral("known.test") : QStringLiteral("n%1.nowhere.test").arg(i);
            resolver.lookUp(domain, &context, [&](const DomainAnswer &a) {
                exists += a.state == DomainState::Exists;
                doesNotExist += a.state == DomainState::DoesNotExist;
                --left;
            });
        }
        QTRY_COMPARE_WITH_TIMEOUT(left, 0, 20000);
        QCOMPARE(exists, 200);
        QCOMPARE(doesNotExist, 200);
        QVERIFY2(clock.elapsed() < 2500, qPrintable(QString::number(clock.elapsed())));
    }

    // A stopped server or one that never answers is no evidence against the domain.
    void noAnswerIsUnknownNeverDoesNotExist()
    {
        DnsTestServer own;
        QString error;
        QVERIFY2(own.start(&error), qPrintable(error));
        CaresResolver resolver(quick(own.server()));
        QCOMPARE(ask(resolver, QStringLiteral("known.test"))->state, DomainState::Exists);

        own.stop();
        for (const QString &d : {QStringLiteral("known.test"), QStringLiteral("nowhere.test")}) {
            const auto answer = ask(resolver, d);
            QVERIFY(answer);
            QCOMPARE(domainStateName(answer->state), domainStateName(DomainState::Unknown));
            QVERIFY(!answer->detail.isEmpty());
        }

        // Back on the same port, the same resolver gets answers again.
        QVERIFY2(own.start(&error), qPrintable(error));
        QCOMPARE(ask(resolver, QStringLiteral("nowhere.test"))->state, DomainState::DoesNotExist);
    }

    // A text that is no host name never leaves the machine: c-ares would cut a NUL short
    // and ask for the part before it.
    void noNameIsNeverSent()
    {
        ScriptedDnsServer server({}, 3);
        CaresResolver resolver(quick(server.server()));
        for (const QString &text :
             {QStringLiteral("nowhere.test") + QChar(0) + QStringLiteral("x"),
              QStringLiteral("Jane Public"), QStringLiteral("\"Jane\""), QString()}) {
            const auto answer = ask(resolver, text);
            QVERIFY(answer);
            QCOMPARE(domainStateName(answer->state), domainStateName(DomainState::Unknown));
        }
        QCOMPARE(server.questions(), 0);
        QCOMPARE(ask(resolver, QStringLiteral("nowhere.test"))->state, DomainState::DoesNotExist);
        QVERIFY(server.questions() >= 3);
    }

    // Only replies that say so make "does not exist"; one failed question among them
    // makes the answer unknown.
    void serverReplyCodes_data()
    {
        QTest::addColumn<ReplyCodes>("rcodes");
        QTest::addColumn<DomainState>("state");
        const int a = 1, aaaa = 28, mx = 15;
        const int noError = 0, serverFailure = 2, noSuchDomain = 3, refused = 5;
        QTest::newRow("no records of any type")
            << ReplyCodes{{a, noError}, {aaaa, noError}, {mx, noError}}
            << DomainState::DoesNotExist;
        QTest::newRow("no such domain")
            << ReplyCodes{{a, noSuchDomain}, {aaaa, noSuchDomain}, {mx, noSuchDomain}}
            << DomainState::DoesNotExist;
        QTest::newRow("server failure")
            << ReplyCodes{{a, serverFailure}, {aaaa, serverFailure}, {mx, serverFailure}}
            << DomainState::Unknown;
        QTest::newRow("refused") << ReplyCodes{{a, refused}, {aaaa, refused}, {mx, refused}}
                                 << DomainState::Unknown;
        QTest::newRow("no such domain, but the exchanger question failed")
            << ReplyCodes{{a, noSuchDomain}, {aaaa, noSuchDomain}, {mx, serverFailure}}
            << DomainState::Unknown;
    }

    void serverReplyCodes()
    {
        QFETCH(ReplyCodes, rcodes);
        QFETCH(DomainState, state);
        ScriptedDnsServer server(rcodes);
        CaresResolver resolver(quick(server.server()));
        const auto answer = ask(resolver, QStringLiteral("some.test"));
        QVERIFY(answer);
        QCOMPARE(domainStateName(answer->state), domainStateName(state));
        QVERIFY(server.questions() >= 3);
    }

    void silentServerTimesOutWithoutFreezing()
    {
        SilentDnsServer silent;
        CaresResolver resolver(quick(silent.server()));
        int ticks = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, this, [&] { ++ticks; });
        ticker.start(20);

        QElapsedTimer clock;
        clock.start();
        std::optional<DomainAnswer> answer;
        QObject context;
        resolver.lookUp(QStringLiteral("nowhere.test"), &context,
                        [&](const DomainAnswer &a) { answer = a; });
        QVERIFY2(clock.elapsed() < 50, "lookUp must not wait for the server");
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 10000);
        QCOMPARE(domainStateName(answer->state), domainStateName(DomainState::Unknown));
        QVERIFY2(answer->detail.contains(QStringLiteral("imeout"), Qt::CaseInsensitive) ||
                     answer->detail.contains(QStringLiteral("time"), Qt::CaseInsensitive),
                 qPrintable(answer->detail));
        // Two tries of 300 ms (the second one doubled) before giving up, and meanwhile
        // the event loop ran on.
        QVERIFY2(clock.elapsed() >= 500, qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(ticks >= 15, qPrintable(QString::number(ticks)));
    }

    void unusableServerListAnswersUnknown()
    {
        CaresResolver resolver(quick(QStringLiteral("not an address:xyz")));
        QVERIFY(!resolver.setupError().isEmpty());
        QCOMPARE(ask(resolver, QStringLiteral("nowhere.test"))->state, DomainState::Unknown);

        // A usable list later makes it work; blanks and semicolons may separate servers.
        SilentDnsServer silent;
        QVERIFY(
            resolver.setServers(QStringLiteral(" %1; %2 ").arg(m_dns.server(), silent.server())));
        QCOMPARE(resolver.setupError(), QString());
        QCOMPARE(ask(resolver, QStringLiteral("nowhere.test"))->state, DomainState::DoesNotExist);
    }

    // Changing servers while a look-up waits answers it "unknown", not "does not exist".
    void changingServersMidwayAnswersUnknown()
    {
        SilentDnsServer silent;
        CaresResolver resolver(quick(silent.server()));
        std::optional<DomainAnswer> answer;
        QObject context;
        resolver.lookUp(QStringLiteral("nowhere.test"), &context,
                        [&](const DomainAnswer &a) { answer = a; });
        QVERIFY(resolver.setServers(m_dns.server()));
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 5000);
        QCOMPARE(answer->state, DomainState::Unknown);
        QCOMPARE(ask(resolver, QStringLiteral("known.test"))->state, DomainState::Exists);
    }

    void goneContextGetsNoCallback()
    {
        CaresResolver resolver(quick(m_dns.server()));
        QSignalSpy spy(&resolver, &Resolver::answered);
        bool called = false;
        {
            QObject context;
            resolver.lookUp(QStringLiteral("known.test"), &context,
                            [&](const DomainAnswer &) { called = true; });
        }
        QTest::qWait(300);
        QVERIFY(!called);
        QCOMPARE(resolver.pendingCount(), 0);
    }

    void destroyedWhileWaitingIsQuiet()
    {
        SilentDnsServer silent;
        bool called = false;
        QObject context;
        {
            CaresResolver resolver(quick(silent.server()));
            resolver.lookUp(QStringLiteral("known.test"), &context,
                            [&](const DomainAnswer &) { called = true; });
            QTest::qWait(50);
        }
        QTest::qWait(100);
        QVERIFY(!called);
    }

    // Each domain is asked once per check, however often and however it is written.
    void cacheAsksEachDomainOnce()
    {
        FakeResolver fake;
        fake.hold = true;
        fake.states.insert(QStringLiteral("nowhere.test"), DomainState::DoesNotExist);
        CachingResolver cache(fake);
        QObject context;
        QStringList got;
        auto record = [&](const DomainAnswer &a) {
            got.append(a.domain + QLatin1Char('=') + domainStateName(a.state));
        };
        cache.lookUp(QStringLiteral("known.test"), &context, record);
        cache.lookUp(QStringLiteral("KNOWN.test"), &context, record);
        cache.lookUp(QStringLiteral("nowhere.test"), &context, record);
        QCOMPARE(fake.asked, QStringList({"known.test", "nowhere.test"}));
        QCOMPARE(cache.pendingCount(), 3);
        fake.release();
        QCOMPARE(got, QStringList({"known.test=exists", "KNOWN.test=exists",
                                   "nowhere.test=does not exist"}));

        // Answered ones come from memory, still later and not inside lookUp().
        got.clear();
        cache.lookUp(QStringLiteral("Nowhere.Test"), &context, record);
        QVERIFY(got.isEmpty());
        QTRY_COMPARE(got, QStringList({"Nowhere.Test=does not exist"}));
        QCOMPARE(cache.forwardedCount(), 2);
        QCOMPARE(cache.pendingCount(), 0);

        // The next check asks again.
        cache.clear();
        cache.lookUp(QStringLiteral("nowhere.test"), &context, record);
        QCOMPARE(fake.asked.size(), 3);
        fake.release();
        QCOMPARE(cache.forwardedCount(), 3);
    }

    void cacheOverTheRealServer()
    {
        CaresResolver resolver(quick(m_dns.server()));
        CachingResolver cache(resolver);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(ask(cache, QStringLiteral("only-mx.test"))->state, DomainState::Exists);
            QCOMPARE(ask(cache, QStringLiteral("nowhere.test"))->state, DomainState::DoesNotExist);
        }
        QCOMPARE(cache.forwardedCount(), 2);
    }

private:
    TestEnv m_env;
    DnsTestServer m_dns;
};

QTEST_GUILESS_MAIN(TestResolver)
#include "test_resolver.moc"
