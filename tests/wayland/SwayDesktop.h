// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A test class's own compositor and the program's window system on it, from its first
// test to its last:
//
//   void initTestCase() { QVERIFY2(m_desktop.start(), qPrintable(m_desktop.error)); }
//   void cleanupTestCase() { m_desktop.stop(); }

#include "platform/wayland/WaylandWindowSystem.h"
#include "wayland/HeadlessSway.h"

#include <memory>

namespace kvorn::test {

struct SwayDesktop
{
    std::unique_ptr<HeadlessSway> sway;
    std::unique_ptr<WaylandWindowSystem> windows;
    /// What was missing when `start` failed.
    QString error;

    bool start()
    {
        sway = std::make_unique<HeadlessSway>();
        if (!sway->isReady()) {
            error = sway->errorText();
            return false;
        }
        windows = std::make_unique<WaylandWindowSystem>(sway->socket().constData());
        if (!windows->connected()) {
            error = QStringLiteral("no connection to sway's socket");
            return false;
        }
        if (!windows->offersToplevels()) {
            error = QStringLiteral("sway offers no foreign toplevel list");
            return false;
        }
        return true;
    }

    void stop()
    {
        windows.reset();
        sway.reset();
    }
};

} // namespace kvorn::test
