// SPDX-License-Identifier: GPL-3.0-or-later
// The account passwords in a real keyring: GNOME Keyring's Secret Service on a D-Bus
// session bus of the test's own, its keyring files in a temporary folder, so the caller's
// session and keyring are never touched.
#include "platform/KeychainSecretStore.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

using namespace kvorn;

namespace {

class PrivateKeyring
{
public:
    bool start(QString *error)
    {
        const QString dbus = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        const QString keyring = QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon"));
        if (dbus.isEmpty() || keyring.isEmpty()) {
            *error = QStringLiteral("dbus-daemon or gnome-keyring-daemon is not installed");
            return false;
        }
        m_bus.start(dbus, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--print-address=1")});
        if (!m_bus.waitForReadyRead(10000)) {
            *error = QStringLiteral("dbus-daemon gave no address");
            return false;
        }
        m_address = QString::fromUtf8(m_bus.readLine()).trimmed();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), m_address);
        env.insert(QStringLiteral("HOME"), m_dir.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.path() + QStringLiteral("/data"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
        m_daemon.setProcessEnvironment(env);
        // "--unlock" with a password on its input makes and opens the login keyring.
        m_daemon.start(keyring, {QStringLiteral("--unlock"), QStringLiteral("--components=secrets"),
                                 QStringLiteral("--foreground")});
        if (!m_daemon.waitForStarted(10000)) {
            *error = QStringLiteral("gnome-keyring-daemon did not start");
            return false;
        }
        m_daemon.write("kvorn-test");
        m_daemon.waitForBytesWritten(5000);
        m_daemon.closeWriteChannel();
        // The daemon takes its bus name a moment after it starts.
        QProcess ask;
        ask.setProcessEnvironment(env);
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired()) {
            ask.start(QStringLiteral("dbus-send"),
                      {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                       QStringLiteral("--dest=org.freedesktop.DBus"), QStringLiteral("/"),
                       QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                       QStringLiteral("string:org.freedesktop.secrets")});
            ask.waitForFinished(5000);
            if (ask.readAllStandardOutput().contains("boolean true"))
                return true;
            QThread::msleep(100);
        }
        *error = QStringLiteral("the keyring never took its bus name: ") +
                 QString::fromLocal8Bit(m_daemon.readAllStandardError());
        return false;
    }

    QString address() const { return m_address; }

    ~PrivateKeyring()
    {
        for (QProcess *p : {&m_daemon, &m_bus}) {
            p->terminate();
            if (!p->waitForFinished(3000))
                p->kill();
            p->waitForFinished(3000);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_daemon;
    QString m_address;
};

} // namespace

class TestKeychain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QString error;
        if (!m_keyring.start(&error))
            QSKIP(qPrintable(error));
        // Before anything in this process opens the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_keyring.address().toUtf8());
        QVERIFY(KeychainSecretStore::sessionBusPresent());
    }

    void passwordsKeptAndRemoved()
    {
        KeychainSecretStore store(QStringLiteral("K-Vorn test"));
        QString secret;
        QCOMPARE(store.read(QStringLiteral("mail account Home"), &secret),
                 SecretStore::Result::NotFound);
        // Texts a password may hold: blanks, non-Latin letters, a line's worth of symbols.
        const QString password = QStringLiteral(" Grüße пароль 密码 \"'&;$ ");
        QCOMPARE(store.write(QStringLiteral("mail account Home"), password),
                 SecretStore::Result::Ok);
        QCOMPARE(store.write(QStringLiteral("mail account Work"), QStringLiteral("other")),
                 SecretStore::Result::Ok);

        KeychainSecretStore again(QStringLiteral("K-Vorn test"));
        QCOMPARE(again.read(QStringLiteral("mail account Home"), &secret), SecretStore::Result::Ok);
        QCOMPARE(secret, password);
        QCOMPARE(again.write(QStringLiteral("mail account Home"), QStringLiteral("changed")),
                 SecretStore::Result::Ok);
        QCOMPARE(again.read(QStringLiteral("mail account Home"), &secret), SecretStore::Result::Ok);
        QCOMPARE(secret, QStringLiteral("changed"));

        QCOMPARE(again.remove(QStringLiteral("mail account Home")), SecretStore::Result::Ok);
        QCOMPARE(again.read(QStringLiteral("mail account Home"), &secret),
                 SecretStore::Result::NotFound);
        QCOMPARE(again.read(QStringLiteral("mail account Work"), &secret), SecretStore::Result::Ok);
        QCOMPARE(secret, QStringLiteral("other"));
        // Another program's entries are apart from ours.
        KeychainSecretStore stranger(QStringLiteral("Someone else"));
        QCOMPARE(stranger.read(QStringLiteral("mail account Work"), &secret),
                 SecretStore::Result::NotFound);
    }

private:
    PrivateKeyring m_keyring;
};

QTEST_GUILESS_MAIN(TestKeychain)
#include "test_keychain.moc"
