// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real Chromium or Firefox opening one local page, as a client of the test's own display
// server. It runs in a network namespace of its own (no route out, not even loopback), with
// a fresh profile and home in a scratch folder, and ends with the test.
//
//   const QStringList isolation = RealBrowser::isolation();   // empty: none to be had
//   RealBrowser browser(RealBrowser::Chromium, env, folder, url, {"--ozone-platform=wayland"});

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

namespace kvorn::test {

class RealBrowser
{
public:
    enum Kind
    {
        Chromium,
        Firefox
    };

    /// The browser's program, or an empty text when it is not installed.
    static QString program(Kind kind)
    {
        return QStandardPaths::findExecutable(kind == Chromium ? QStringLiteral("chromium")
                                                               : QStringLiteral("firefox-esr"));
    }

    /// The command that puts a program into a network namespace of its own, or an empty
    /// list when this machine gives none (not root and no user namespaces): a browser must
    /// then not run at all, for it would reach the Internet.
    static QStringList isolation()
    {
        const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
        if (unshare.isEmpty())
            return {};
        QStringList command{unshare};
        if (::geteuid() != 0)
            command << QStringLiteral("--user") << QStringLiteral("--map-root-user");
        command << QStringLiteral("--net") << QStringLiteral("--");
        QProcess probe;
        probe.start(command.first(), command.mid(1) << QStringLiteral("true"));
        if (!probe.waitForFinished(10000) || probe.exitStatus() != QProcess::NormalExit ||
            probe.exitCode() != 0)
            return {};
        return command;
    }

    /// Starts the browser on `url` with `environment` (which names the display), its
    /// profile and home under `folder`, `extraArguments` added to the command line. Script
    /// pop-ups are allowed, as the popup killer is there to close them.
    RealBrowser(Kind kind, QProcessEnvironment environment, const QString &folder,
                const QString &url, const QStringList &extraArguments = {})
    {
        const QStringList command = isolation();
        if (command.isEmpty() || program(kind).isEmpty())
            return;
        const QString home = folder + QStringLiteral("/home");
        const QString profile = folder + QStringLiteral("/profile");
        const QString temp = folder + QStringLiteral("/tmp");
        for (const QString &dir : {home, profile, temp})
            QDir().mkpath(dir);
        environment.insert(QStringLiteral("HOME"), home);
        environment.insert(QStringLiteral("TMPDIR"), temp);
        for (const char *name : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME",
                                 "DBUS_SESSION_BUS_ADDRESS", "SESSION_MANAGER"})
            environment.remove(QString::fromLatin1(name));

        QStringList args = command.mid(1);
        args << program(kind);
        if (kind == Chromium) {
            // No sandbox: it needs user namespaces of its own, and the page is the test's.
            args << QStringLiteral("--no-sandbox") << QStringLiteral("--no-first-run")
                 << QStringLiteral("--no-default-browser-check")
                 << QStringLiteral("--disable-background-networking")
                 << QStringLiteral("--disable-component-update") << QStringLiteral("--disable-sync")
                 << QStringLiteral("--disable-popup-blocking") << QStringLiteral("--disable-gpu")
                 << QStringLiteral("--password-store=basic")
                 << QStringLiteral("--user-data-dir=") + profile;
        } else {
            QFile prefs(profile + QStringLiteral("/user.js"));
            if (prefs.open(QIODevice::WriteOnly))
                prefs.write(kFirefoxPrefs);
            args << QStringLiteral("-no-remote") << QStringLiteral("-profile") << profile;
        }
        args << extraArguments << url;

        m_process.setProcessEnvironment(environment);
        // A session of its own, so that its helper processes end with it.
        m_process.setChildProcessModifier([] {
            ::setsid();
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        });
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(command.first(), args);
        m_process.waitForStarted(10000);
    }
    ~RealBrowser()
    {
        const qint64 pid = m_process.processId();
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(3000);
        }
        if (pid > 0)
            ::kill(pid_t(-pid), SIGKILL);
    }
    RealBrowser(const RealBrowser &) = delete;
    RealBrowser &operator=(const RealBrowser &) = delete;

    bool isRunning() const { return m_process.state() == QProcess::Running; }
    /// What the browser printed so far (the last few lines are enough to see why it failed).
    QByteArray output() { return m_output += m_process.readAll(); }

private:
    // No first-run pages, updates, reports, studies, captive-portal or connectivity probes,
    // blocklist or safe-browsing downloads, or prefetching; pop-ups from page scripts open.
    static constexpr const char *kFirefoxPrefs =
        R"(user_pref("browser.shell.checkDefaultBrowser", false);
user_pref("browser.aboutwelcome.enabled", false);
user_pref("browser.startup.homepage_override.mstone", "ignore");
user_pref("startup.homepage_welcome_url", "");
user_pref("startup.homepage_welcome_url.additional", "");
user_pref("browser.startup.page", 0);
user_pref("datareporting.policy.firstRunURL", "");
user_pref("app.update.enabled", false);
user_pref("app.update.auto", false);
user_pref("app.normandy.enabled", false);
user_pref("app.shield.optoutstudies.enabled", false);
user_pref("extensions.update.enabled", false);
user_pref("extensions.getAddons.cache.enabled", false);
user_pref("extensions.blocklist.enabled", false);
user_pref("browser.search.update", false);
user_pref("datareporting.healthreport.uploadEnabled", false);
user_pref("datareporting.policy.dataSubmissionEnabled", false);
user_pref("toolkit.telemetry.enabled", false);
user_pref("toolkit.telemetry.unified", false);
user_pref("network.captive-portal-service.enabled", false);
user_pref("network.connectivity-service.enabled", false);
user_pref("network.prefetch-next", false);
user_pref("network.dns.disablePrefetch", true);
user_pref("network.predictor.enabled", false);
user_pref("browser.safebrowsing.malware.enabled", false);
user_pref("browser.safebrowsing.phishing.enabled", false);
user_pref("browser.safebrowsing.downloads.enabled", false);
user_pref("browser.newtabpage.activity-stream.feeds.topsites", false);
user_pref("browser.sessionstore.resume_from_crash", false);
user_pref("dom.disable_open_during_load", false);
)";

    QProcess m_process;
    QByteArray m_output;
};

} // namespace kvorn::test
