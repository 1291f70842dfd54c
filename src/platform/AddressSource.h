// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <QList>
#include <QRect>
#include <QString>

#include <cstdint>

namespace kvorn {

/// What the window system tells of a browser window, for finding it elsewhere.
struct BrowserWindow
{
    WindowId window = 0;
    std::uint32_t pid = 0; ///< the window's process; 0 when it names none
    QString title;
    QRect geometry; ///< on the screen
    /// Where the same program's other windows of the same title are.
    QList<QRect> twins;
};

/// Reads the page addresses of browser windows from outside the window system (the
/// accessibility bus). Every call is cheap and runs on the user-interface thread; the
/// reading itself happens elsewhere, and its answers arrive later.
class AddressSource
{
public:
    virtual ~AddressSource() = default;

    /// The address known for the window under this title; empty while none is known.
    /// Sets `lookUpWanted` when the window should be described through lookUp (a window or
    /// title not asked about yet, or one whose last reading found nothing a while ago).
    virtual QString known(WindowId window, const QString &title, bool &lookUpWanted) = 0;
    /// Starts reading the address of a described window.
    virtual void lookUp(const BrowserWindow &window) = 0;
    /// The window has gone: what was read of it is dropped.
    virtual void forget(WindowId window) = 0;
    /// A number that grows whenever an answer changed a known address.
    virtual std::uint64_t changeCount() const = 0;
};

} // namespace kvorn
