// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// A scriptable desktop for the survey and kill-pass tests: windows are added, retitled
// and removed by the test; close requests, activations and keys are recorded.
//
//   FakeWindowSystem desktop;
//   const WindowId popup = desktop.addWindow({"chromium", "Chromium"},
//                                           "Free Casino Bonus - Chromium");
//   ... run a survey and a kill pass ...
//   QCOMPARE(desktop.closeRequests, QList<WindowId>{popup});
//   QVERIFY(!desktop.exists(popup));       // closed at once unless told otherwise

#include "platform/WindowSystem.h"

#include <QList>
#include <QString>

#include <map>

namespace kvorn::test {

class FakeWindowSystem final : public WindowSystem
{
public:
    /// What happens to a window asked to close.
    enum class CloseBehaviour {
        Close,    ///< it goes at once
        Defer,    ///< it goes at the next applyPendingCloses() (as real windows go later)
        Refuse,   ///< it stays (the request is still recorded)
    };

    struct Window
    {
        WindowClass windowClass;
        QString title;
        WindowId parent = 0;       ///< 0 for a top-level window
        WindowId transientFor = 0;
        bool dialogType = false;
        QString staticText;
        CloseBehaviour onClose = CloseBehaviour::Close;
    };

    struct SentKey
    {
        WindowId window;
        DialogKey key;
        bool operator==(const SentKey &) const = default;
    };

    // --- scripting the desktop -------------------------------------------------------
    /// Opens a top-level window (newest last in titledWindows()).
    WindowId addWindow(const WindowClass &windowClass, const QString &title,
                       CloseBehaviour onClose = CloseBehaviour::Close);
    /// Opens a dialog: a transient of the owner with the dialog type and a message.
    WindowId addDialog(WindowId owner, const WindowClass &windowClass, const QString &title,
                       const QString &message = QString());
    /// Adds a child window (a descendant) with its own class and text.
    WindowId addChild(WindowId parent, const WindowClass &windowClass, const QString &title);
    /// Opens a window described in full.
    WindowId add(const Window &window);
    void setTitle(WindowId window, const QString &title);
    /// What the window's address reads as from now on (as a reader would learn it late).
    void setAddress(WindowId window, const QString &address);
    void setCloseBehaviour(WindowId window, CloseBehaviour behaviour);
    /// Closes a window (and its children) as if its program closed it.
    void remove(WindowId window);
    /// Lets the windows asked to close with CloseBehaviour::Defer go now.
    void applyPendingCloses();
    bool exists(WindowId window) const { return m_windows.count(window) != 0; }
    /// Sets the window that has the focus.
    void setForeground(WindowId window) { m_foreground = window; }

    // --- what the program did ------------------------------------------------------
    /// Every close request, in order.
    QList<WindowId> closeRequests;
    /// Every activation, in order.
    QList<WindowId> activations;
    /// Every keystroke sent, in order.
    QList<SentKey> sentKeys;
    /// When false, sendKey reports that the window never got the focus (and sends nothing).
    bool keysGetThrough = true;
    /// How many times titledWindows() was asked.
    int surveys = 0;

    // --- WindowSystem ----------------------------------------------------------------
    QList<WindowId> titledWindows() override;
    QList<WindowId> descendants(WindowId window) override;
    QString title(WindowId window) override;
    WindowClass windowClass(WindowId window) override;
    QString staticText(WindowId window) override;
    WindowId transientFor(WindowId window) override;
    bool isDialog(WindowId window) override;
    bool requestClose(WindowId window) override;
    bool activate(WindowId window) override;
    bool sendKey(WindowId window, DialogKey key) override;
    WindowId foregroundWindow() override;
    QString address(WindowId window) override;
    std::uint64_t changeCount() override { return m_changes; }

private:
    const Window *find(WindowId window) const;

    // Ids grow, so the map's order is the order the windows were opened in.
    std::map<WindowId, Window> m_windows;
    std::map<WindowId, QString> m_addresses;
    QList<WindowId> m_pendingCloses;
    WindowId m_nextId = 0x400001;
    WindowId m_foreground = 0;
    std::uint64_t m_changes = 0;
};

} // namespace kvorn::test
