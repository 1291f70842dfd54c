// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A real top-level window on a VirtualDisplay, made by the kvorn_testwindow helper in a
// process of its own (as a browser's window would be):
//
//   TestWindow popup(display, {.instance = "chromium", .windowClass = "Chromium",
//                              .title = "Free Casino Bonus - Chromium"});
//   QVERIFY(popup.isShown());
//   ... popup.id(), popup.closeRequests(), QTRY_VERIFY(popup.isGone()) ...
//
// The helper's path comes from KVORN_TEST_WINDOW_PROGRAM (set by tests/x11/CMakeLists.txt
// for every test that links kvorn_x11_fixture).

#include "x11/VirtualDisplay.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>

#ifndef KVORN_TEST_WINDOW_PROGRAM
#define KVORN_TEST_WINDOW_PROGRAM KVORN_BINARY_DIR "/tests/x11/kvorn_testwindow"
#endif

namespace kvorn::test {

class TestWindow
{
public:
    struct Spec
    {
        QString instance = QStringLiteral("testwindow");
        QString windowClass = QStringLiteral("TestWindow");
        QString title;
        /// The window this one is a transient of (0: none).
        std::uint32_t transientFor = 0;
        /// Marks the window with the dialog window type.
        bool dialog = false;
        /// Answers close requests by staying open (and still reports them).
        bool refuseClose = false;
        /// Sets only the old Latin-1 WM_NAME, as plain X programs do, not _NET_WM_NAME.
        bool legacyTitle = false;
    };

    /// Starts the window and waits (up to 5 s) until it is mapped.
    TestWindow(const VirtualDisplay &display, const Spec &spec)
    {
        QStringList args{QStringLiteral("--instance"), spec.instance, QStringLiteral("--class"),
                         spec.windowClass, QStringLiteral("--title"), spec.title};
        if (spec.transientFor)
            args << QStringLiteral("--transient-for") << QString::number(spec.transientFor);
        if (spec.dialog)
            args << QStringLiteral("--dialog");
        if (spec.refuseClose)
            args << QStringLiteral("--refuse-close");
        if (spec.legacyTitle)
            args << QStringLiteral("--legacy-title");
        endWithParent(m_process);
        m_process.setProcessEnvironment(display.environment());
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(KVORN_TEST_WINDOW_PROGRAM), args);
        QDeadlineTimer deadline(5000);
        while (m_id == 0 && !deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            m_process.waitForReadyRead(50);
            readOutput();
        }
    }

    ~TestWindow()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.closeWriteChannel();
            if (!m_process.waitForFinished(2000))
                stopProcess(m_process);
        }
    }

    TestWindow(const TestWindow &) = delete;
    TestWindow &operator=(const TestWindow &) = delete;

    /// True once the window was mapped.
    bool isShown() const { return m_id != 0; }
    /// The window's X id.
    std::uint32_t id() const { return m_id; }
    /// How often it has been asked to close so far.
    int closeRequests()
    {
        readOutput();
        return m_closeRequests;
    }
    /// The keys pressed in it so far ("Escape", "n", "c", "code<n>").
    QStringList keys()
    {
        readOutput();
        return m_keys;
    }
    /// True once the window has closed (its program ended).
    bool isGone()
    {
        m_process.waitForFinished(0);
        readOutput();
        return m_process.state() == QProcess::NotRunning;
    }
    /// Gives the window a new title.
    void setTitle(const QString &title)
    {
        m_process.write("title " + title.toUtf8() + '\n');
        m_process.waitForBytesWritten(1000);
    }

private:
    void readOutput()
    {
        m_buffer += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            if (line.startsWith("window "))
                m_id = line.mid(7).toUInt();
            else if (line.startsWith("close-requested "))
                m_closeRequests = line.mid(16).toInt();
            else if (line.startsWith("key "))
                m_keys.append(QString::fromLatin1(line.mid(4)));
        }
    }

    QProcess m_process;
    QByteArray m_buffer;
    std::uint32_t m_id = 0;
    int m_closeRequests = 0;
    QStringList m_keys;
};

} // namespace kvorn::test
