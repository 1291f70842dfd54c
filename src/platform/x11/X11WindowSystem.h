// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <memory>

namespace kvorn {

class AddressSource;

/// The desktop's windows on an X11 display with an EWMH window manager.
///
/// The client windows come from the root's _NET_CLIENT_LIST (without a window manager:
/// the root's mapped children). Each client's class, title and dialog properties are kept
/// in a cache that X events keep current: a PropertyNotify on the root's client list or on
/// a window's title, class or dialog properties marks just that piece stale, a
/// DestroyNotify drops the window, and the next call re-reads only the stale pieces, all
/// in one batch. A survey over an unchanged desktop therefore costs no round
/// trip to the X server at all. The events are taken in without waiting at the start of
/// each survey (titledWindows, changeCount, foregroundWindow), and, when a Qt application
/// object exists, also as they arrive (a QSocketNotifier), so they never pile up while no
/// survey runs.
class X11WindowSystem final : public WindowSystem
{
public:
    /// Opens its own connection to the display (nullptr: $DISPLAY). Without a display
    /// every call answers as an empty desktop.
    explicit X11WindowSystem(const char *displayName = nullptr);
    ~X11WindowSystem() override;
    X11WindowSystem(const X11WindowSystem &) = delete;
    X11WindowSystem &operator=(const X11WindowSystem &) = delete;

    /// True while the connection to the display is up.
    bool connected() const;
    /// The connection's socket; -1 without a connection.
    int socketDescriptor() const;
    /// Takes in the X server's pending events without waiting.
    void processPendingEvents();
    /// How many times this object has waited for the X server so far (a batch of
    /// requests answered together counts once).
    std::uint64_t roundTrips() const;
    /// Where the addresses of browser windows come from (none: every address is empty).
    /// The source must outlive this object or be unset first.
    void setAddressSource(AddressSource *source);

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
    std::uint64_t changeCount() override;

private:
    struct Private;
    std::unique_ptr<Private> d;
};

} // namespace kvorn
