// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Real browsers on a VirtualDisplay, with a D-Bus session of the test's own and, when asked
// for, the accessibility bus on it (at-spi2-core's launcher, which starts the registry by
// itself). Everything lives in a temporary folder that is also the browsers' home; every
// process started here ends with this object, and with the test process if that dies.
//
//   VirtualDisplay display;
//   BrowserDesktop desktop(display, BrowserDesktop::Accessibility::On);
//   Browser chromium(desktop, Browser::Kind::Chromium, "one", {desktop.page("a.html")});
//
// The browsers never reach the network: they run in a network namespace of their own
// where that can be made (unshare --net), and are told besides to resolve no name, use a
// proxy on a closed loopback port and fetch nothing in the background. Pages are local
// files.
//
// Header-only so that the benchmarks can use it as well as the tests.

#include "x11/VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <utility>
#include <vector>

namespace kvorn::test {

/// Ends a child's whole process group, politely then firmly (browsers and the bus
/// launcher start helpers of their own).
inline void stopProcessGroup(QProcess &process)
{
    if (process.state() == QProcess::NotRunning)
        return;
    const auto group = pid_t(process.processId());
    ::kill(-group, SIGTERM);
    if (!process.waitForFinished(5000)) {
        ::kill(-group, SIGKILL);
        process.waitForFinished(3000);
    }
    // Helpers that outlived the leader.
    ::kill(-group, SIGKILL);
}

/// Starts a child as the leader of a process group of its own, ended with the test.
inline void ownGroupEndingWithParent(QProcess &process)
{
    process.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
}

class BrowserDesktop
{
public:
    enum class Accessibility { On, Off };

    BrowserDesktop(const VirtualDisplay &display, Accessibility accessibility)
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        QDir(m_dir.path()).mkpath(QStringLiteral("run"));
        QFile::setPermissions(m_dir.filePath(QStringLiteral("run")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(m_dir.path()).mkpath(QStringLiteral("pages"));
        QDir(m_dir.path()).mkpath(QStringLiteral("bus"));

        // A session bus like a desktop's, able to start the accessibility bus on demand
        // (so that a test can see that nobody asked for it), listening on a path (an
        // abstract socket is not reachable from another network namespace).
        const QString config = m_dir.filePath(QStringLiteral("session.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) {
            m_error = QStringLiteral("cannot write the bus configuration");
            return;
        }
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
                   "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=");
        file.write(m_dir.filePath(QStringLiteral("bus")).toUtf8());
        file.write("</listen><auth>EXTERNAL</auth><standard_session_servicedirs/>"
                   "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        file.close();

        m_environment = display.environment();
        m_environment.insert(QStringLiteral("HOME"), m_dir.path());
        m_environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.filePath(QStringLiteral("run")));
        m_environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
        m_environment.insert(QStringLiteral("XDG_CACHE_HOME"), m_dir.filePath(QStringLiteral("cache")));
        m_environment.insert(QStringLiteral("XDG_DATA_HOME"), m_dir.filePath(QStringLiteral("data")));
        m_environment.remove(QStringLiteral("AT_SPI_BUS_ADDRESS"));
        m_environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
        for (const char *name : {"ACCESSIBILITY_ENABLED", "GNOME_ACCESSIBILITY", "QT_ACCESSIBILITY",
                                 "NO_AT_BRIDGE"})
            m_environment.remove(QString::fromLatin1(name));

        ownGroupEndingWithParent(m_bus);
        m_bus.setProcessEnvironment(m_environment);
        m_bus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--nofork"), QStringLiteral("--config-file=") + config,
                     QStringLiteral("--print-address=1")});
        if (!m_bus.waitForStarted(5000)) {
            m_error = QStringLiteral("dbus-daemon does not start: ") + m_bus.errorString();
            return;
        }
        QByteArray address;
        QDeadlineTimer deadline(10000);
        while (!address.contains('\n') && !deadline.hasExpired() &&
               m_bus.state() == QProcess::Running) {
            m_bus.waitForReadyRead(100);
            address += m_bus.readAllStandardOutput();
        }
        if (!address.contains('\n')) {
            m_error = QStringLiteral("dbus-daemon gave no address");
            return;
        }
        m_address = address.trimmed();
        m_environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(m_address));

        if (accessibility == Accessibility::On && !startAccessibilityBus())
            return;
        m_ready = true;
    }

    ~BrowserDesktop()
    {
        stopProcessGroup(m_launcher);
        stopProcessGroup(m_bus);
    }

    BrowserDesktop(const BrowserDesktop &) = delete;
    BrowserDesktop &operator=(const BrowserDesktop &) = delete;

    bool isReady() const { return m_ready; }
    QString errorText() const { return m_error; }
    /// The session bus's address.
    QByteArray busAddress() const { return m_address; }
    /// An environment for programs of this desktop (display, bus, home).
    QProcessEnvironment environment() const { return m_environment; }
    /// The folder everything lives in.
    QString path() const { return m_dir.path(); }

    /// Writes a page into the pages folder (under `name`, which may hold folders) and
    /// gives its address.
    QString page(const QString &name, const QByteArray &html) const
    {
        const QString file = m_dir.filePath(QStringLiteral("pages/") + name);
        QDir().mkpath(QFileInfo(file).path());
        QFile out(file);
        if (out.open(QIODevice::WriteOnly))
            out.write(html);
        return QStringLiteral("file://") + file;
    }

    /// True while some program owns the accessibility bus's name on the session bus.
    bool accessibilityBusRuns() const
    {
        QProcess ask;
        ask.setProcessEnvironment(m_environment);
        ask.start(QStringLiteral("dbus-send"),
                  {QStringLiteral("--session"), QStringLiteral("--print-reply"),
                   QStringLiteral("--dest=org.freedesktop.DBus"),
                   QStringLiteral("/org/freedesktop/DBus"),
                   QStringLiteral("org.freedesktop.DBus.NameHasOwner"),
                   QStringLiteral("string:org.a11y.Bus")});
        ask.waitForFinished(5000);
        return ask.readAllStandardOutput().contains("boolean true");
    }

private:
    bool startAccessibilityBus()
    {
        ownGroupEndingWithParent(m_launcher);
        m_launcher.setProcessEnvironment(m_environment);
        m_launcher.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_launcher.setStandardOutputFile(QProcess::nullDevice());
        m_launcher.start(QStringLiteral("/usr/libexec/at-spi-bus-launcher"),
                         {QStringLiteral("--launch-immediately")});
        if (!m_launcher.waitForStarted(5000)) {
            m_error = QStringLiteral("at-spi-bus-launcher does not start: ") +
                      m_launcher.errorString();
            return false;
        }
        QDeadlineTimer deadline(15000);
        while (!deadline.hasExpired() && m_launcher.state() == QProcess::Running) {
            if (accessibilityBusRuns())
                return true;
            QThread::msleep(50);
        }
        m_error = QStringLiteral("the accessibility bus does not come up");
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_bus;
    QProcess m_launcher;
    QByteArray m_address;
    QProcessEnvironment m_environment;
    QString m_error;
    bool m_ready = false;
};

/// One browser process with a fresh profile of its own, accessibility on (or off), no
/// network. More windows open in the same process through openWindow.
class Browser
{
public:
    enum class Kind { Chromium, Firefox };

    /// The browser's program, or empty when it is not installed.
    static QString program(Kind kind)
    {
        return QStandardPaths::findExecutable(
            kind == Kind::Chromium ? QStringLiteral("chromium") : QStringLiteral("firefox-esr"));
    }

    Browser(const BrowserDesktop &desktop, Kind kind, const QString &profile,
            const QStringList &urls, bool accessible = true)
        : m_kind(kind), m_profile(desktop.path() + QStringLiteral("/profile-") + profile)
    {
        QDir().mkpath(m_profile);
        m_environment = desktop.environment();
        if (accessible) {
            // What a desktop with its accessibility on gives its programs.
            m_environment.insert(QStringLiteral("ACCESSIBILITY_ENABLED"), QStringLiteral("1"));
            m_environment.insert(QStringLiteral("GNOME_ACCESSIBILITY"), QStringLiteral("1"));
        }
        m_environment.insert(QStringLiteral("MOZ_CRASHREPORTER_DISABLE"), QStringLiteral("1"));
        if (kind == Kind::Firefox)
            writeFirefoxPrefs();
        ownGroupEndingWithParent(m_process);
        m_process.setProcessEnvironment(m_environment);
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setStandardOutputFile(QProcess::nullDevice());
        const auto [command, args] = commandLine(urls);
        m_process.start(command, args);
        m_process.waitForStarted(10000);
    }

    ~Browser()
    {
        for (const auto &remote : m_remotes)
            stopProcess(*remote);
        stopProcessGroup(m_process);
    }

    Browser(const Browser &) = delete;
    Browser &operator=(const Browser &) = delete;

    /// The browser's process id (that of its windows).
    qint64 pid() const { return m_process.processId(); }
    bool running() const { return m_process.state() == QProcess::Running; }

    /// Opens a new window in the running browser (and waits until the browser took the
    /// request).
    void openWindow(const QString &url)
    {
        QProcess &remote = startWindow(url);
        if (!remote.waitForFinished(30000))
            stopProcess(remote);
    }

    /// Asks the running browser for a new window without waiting.
    QProcess &startWindow(const QString &url)
    {
        auto remote = std::make_unique<QProcess>();
        endWithParent(*remote);
        remote->setProcessEnvironment(m_environment);
        remote->setProcessChannelMode(QProcess::MergedChannels);
        remote->setStandardOutputFile(QProcess::nullDevice());
        const auto [command, args] = commandLine({QStringLiteral("--new-window"), url});
        remote->start(command, args);
        m_remotes.push_back(std::move(remote));
        return *m_remotes.back();
    }

    /// True where programs can be given a network namespace of their own.
    static bool canCutNetwork()
    {
        static const bool can = [] {
            QProcess probe;
            probe.start(QStringLiteral("unshare"), {QStringLiteral("--net"), QStringLiteral("true")});
            return probe.waitForFinished(5000) && probe.exitStatus() == QProcess::NormalExit &&
                   probe.exitCode() == 0;
        }();
        return can;
    }

private:
    std::pair<QString, QStringList> commandLine(const QStringList &tail) const
    {
        QStringList args;
        if (m_kind == Kind::Chromium) {
            args << QStringLiteral("--no-sandbox") << QStringLiteral("--user-data-dir=") + m_profile
                 << QStringLiteral("--no-first-run") << QStringLiteral("--no-default-browser-check")
                 << QStringLiteral("--disable-background-networking")
                 << QStringLiteral("--disable-component-update") << QStringLiteral("--disable-sync")
                 << QStringLiteral("--disable-breakpad") << QStringLiteral("--password-store=basic")
                 << QStringLiteral("--disable-gpu") << QStringLiteral("--disable-popup-blocking")
                 << QStringLiteral("--proxy-server=127.0.0.1:9")
                 << QStringLiteral("--host-resolver-rules=MAP * ~NOTFOUND");
        } else {
            args << QStringLiteral("--profile") << m_profile;
        }
        args << tail;
        const QString browser = program(m_kind);
        if (!canCutNetwork())
            return {browser, args};
        return {QStringLiteral("unshare"), QStringList{QStringLiteral("--net"), browser} + args};
    }

    void writeFirefoxPrefs()
    {
        QFile prefs(m_profile + QStringLiteral("/user.js"));
        if (!prefs.open(QIODevice::WriteOnly))
            return;
        for (const char *line : {
                 "user_pref(\"dom.disable_open_during_load\", false);",
                 "user_pref(\"browser.shell.checkDefaultBrowser\", false);",
                 "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");",
                 "user_pref(\"startup.homepage_welcome_url\", \"\");",
                 "user_pref(\"startup.homepage_welcome_url.additional\", \"\");",
                 "user_pref(\"browser.aboutwelcome.enabled\", false);",
                 "user_pref(\"browser.tabs.warnOnClose\", false);",
                 "user_pref(\"browser.sessionstore.resume_from_crash\", false);",
                 "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);",
                 "user_pref(\"datareporting.healthreport.uploadEnabled\", false);",
                 "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);",
                 "user_pref(\"app.update.enabled\", false);",
                 "user_pref(\"app.normandy.enabled\", false);",
                 "user_pref(\"extensions.update.enabled\", false);",
                 "user_pref(\"browser.search.update\", false);",
                 "user_pref(\"browser.safebrowsing.malware.enabled\", false);",
                 "user_pref(\"browser.safebrowsing.phishing.enabled\", false);",
                 "user_pref(\"browser.safebrowsing.downloads.enabled\", false);",
                 "user_pref(\"network.captive-portal-service.enabled\", false);",
                 "user_pref(\"network.connectivity-service.enabled\", false);",
                 "user_pref(\"network.dns.disabled\", true);",
                 "user_pref(\"network.proxy.type\", 1);",
                 "user_pref(\"network.proxy.http\", \"127.0.0.1\");",
                 "user_pref(\"network.proxy.http_port\", 9);",
                 "user_pref(\"network.proxy.ssl\", \"127.0.0.1\");",
                 "user_pref(\"network.proxy.ssl_port\", 9);",
                 "user_pref(\"network.proxy.socks_remote_dns\", false);",
             }) {
            prefs.write(line);
            prefs.write("\n");
        }
    }

    Kind m_kind;
    QString m_profile;
    QProcessEnvironment m_environment;
    QProcess m_process;
    std::vector<std::unique_ptr<QProcess>> m_remotes;
};

} // namespace kvorn::test
