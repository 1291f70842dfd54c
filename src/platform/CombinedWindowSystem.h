// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

namespace kvorn {

/// Two window systems seen as one desktop: a Wayland session's own windows beside those of
/// its X server (XWayland). The first system's ids pass as they are (X11 ids never use the
/// top bit); the second's carry the top bit, so every id says which system it belongs to.
class CombinedWindowSystem final : public WindowSystem
{
public:
    CombinedWindowSystem(WindowSystem &first, WindowSystem &second);

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
    static constexpr WindowId kSecondTag = WindowId(1) << 31;

    WindowSystem &owner(WindowId window) const;
    static WindowId local(WindowId window);
    WindowId fromSecond(WindowId window) const;
    QList<WindowId> fromSecond(const QList<WindowId> &windows) const;

    WindowSystem &m_first;
    WindowSystem &m_second;
};

} // namespace kvorn
