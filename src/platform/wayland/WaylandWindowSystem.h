// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <cstdint>
#include <memory>

namespace kvorn {

/// The desktop's windows on a Wayland compositor that offers the wlroots foreign-toplevel
/// management protocol (sway, labwc, Wayfire, Hyprland, river ...).
///
/// The compositor sends every top-level window with its title, app id and states and keeps
/// them current with events; this object keeps what they said, so a survey never waits for
/// the compositor. A window's class is its app id (both names). What Wayland keeps from
/// other clients is not there: no child windows, no dialog texts, no owners, no keystrokes
/// into other programs' windows. The events are taken in without waiting at the start of
/// each survey and, when a Qt application object exists, as they arrive.
class WaylandWindowSystem final : public WindowSystem
{
public:
    /// Connects to the compositor (nullptr: $WAYLAND_DISPLAY; a name or an absolute socket
    /// path otherwise). Without a compositor, or one without the protocol, every call
    /// answers as an empty desktop.
    explicit WaylandWindowSystem(const char *displayName = nullptr);
    ~WaylandWindowSystem() override;
    WaylandWindowSystem(const WaylandWindowSystem &) = delete;
    WaylandWindowSystem &operator=(const WaylandWindowSystem &) = delete;

    /// True while connected to a compositor.
    bool connected() const;
    /// True when the compositor offers the foreign-toplevel protocol (the windows are seen).
    bool offersToplevels() const;
    /// Takes in the compositor's pending events without waiting.
    void processPendingEvents();
    /// Waits until the compositor has answered everything asked so far (tests).
    void sync();
    /// How many times this object has waited for the compositor so far.
    std::uint64_t roundTrips() const;

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
