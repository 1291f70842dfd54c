// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace kvorn {

/// A window of the desktop as the window system names it; 0 stands for no window.
using WindowId = std::uint32_t;

/// The two names a window gives its class: the instance (usually the program's name) and
/// the class proper (for example "chromium" and "Chromium"). Both are compared exactly.
/// A Wayland window has an app id instead, held in both names.
struct WindowClass
{
    QString instance;
    QString name;
    bool appId = false;

    bool isEmpty() const { return instance.isEmpty() && name.isEmpty(); }
    bool operator==(const WindowClass &) const = default;
};

/// The keystrokes the kill path may send to a browser dialog, in the order it cycles them.
enum class DialogKey { Escape, N, C };

/// The desktop's windows: listing, reading and asking them to close.
///
/// Every call runs on the user-interface thread and never blocks for long. Calls are
/// not const because an implementation may take in the window system's pending news on
/// the way. A window that has gone reads as empty (no title, no class, no dialog).
class WindowSystem
{
public:
    virtual ~WindowSystem() = default;

    /// The top-level client windows whose title is not empty, oldest first.
    virtual QList<WindowId> titledWindows() = 0;
    /// Every descendant of a window (its children, their children, ...), parents first.
    virtual QList<WindowId> descendants(WindowId window) = 0;
    /// The window's title; empty when it has none.
    virtual QString title(WindowId window) = 0;
    /// The window's class names; empty when it has none.
    virtual WindowClass windowClass(WindowId window) = 0;
    /// The text of the first descendant showing a non-empty static text, or empty where
    /// the desktop exposes no such text.
    virtual QString staticText(WindowId window) = 0;
    /// The window this one is a transient of (its owner), or 0.
    virtual WindowId transientFor(WindowId window) = 0;
    /// True for a transient window of the dialog type (a message box, a prompt).
    virtual bool isDialog(WindowId window) = 0;

    /// Asks the window to close, the way its close button would, without waiting for it.
    /// False when the window cannot even be asked (gone, or no way to ask).
    virtual bool requestClose(WindowId window) = 0;
    /// Raises the window and gives it the focus; does not wait for the desktop to obey.
    virtual bool activate(WindowId window) = 0;
    /// Sends one keystroke to the window: activates it when needed and sends the key only
    /// once the window really has the focus (a short, bounded wait), so the key never
    /// lands in another window. False when the window did not get the focus in time.
    virtual bool sendKey(WindowId window, DialogKey key) = 0;
    /// The window that has the focus (the active window), or 0.
    virtual WindowId foregroundWindow() = 0;
    /// The address of the page a browser window shows, as far as it is known now; empty
    /// while it is not known. Never waits: where the address is read elsewhere, the first
    /// call for a window (or for a new title of it) starts the reading in the background,
    /// and a later call gives what was read.
    virtual QString address(WindowId window) = 0;

    /// A number that grows whenever the titled windows, a title, a class, a dialog
    /// property or a known address may have changed. An unchanged number means a survey would read exactly
    /// what it read last time, so asking costs next to nothing.
    virtual std::uint64_t changeCount() = 0;
};

/// A desktop without windows (no display): lists nothing and closes nothing.
class NoWindowSystem final : public WindowSystem
{
public:
    QList<WindowId> titledWindows() override { return {}; }
    QList<WindowId> descendants(WindowId) override { return {}; }
    QString title(WindowId) override { return {}; }
    WindowClass windowClass(WindowId) override { return {}; }
    QString staticText(WindowId) override { return {}; }
    WindowId transientFor(WindowId) override { return 0; }
    bool isDialog(WindowId) override { return false; }
    bool requestClose(WindowId) override { return false; }
    bool activate(WindowId) override { return false; }
    bool sendKey(WindowId, DialogKey) override { return false; }
    WindowId foregroundWindow() override { return 0; }
    QString address(WindowId) override { return {}; }
    std::uint64_t changeCount() override { return 0; }
};

} // namespace kvorn
