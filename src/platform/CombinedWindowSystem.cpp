// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CombinedWindowSystem.h"

#include <QPair>
#include <QSet>

namespace kvorn {

CombinedWindowSystem::CombinedWindowSystem(WindowSystem &first, WindowSystem &second)
    : m_first(first), m_second(second)
{
}

WindowSystem &CombinedWindowSystem::owner(WindowId window) const
{
    return (window & kSecondTag) ? m_second : m_first;
}

WindowId CombinedWindowSystem::local(WindowId window)
{
    return window & ~kSecondTag;
}

WindowId CombinedWindowSystem::fromSecond(WindowId window) const
{
    // 0 stays "no window" whichever system said it.
    return window == 0 ? 0 : (window | kSecondTag);
}

QList<WindowId> CombinedWindowSystem::fromSecond(const QList<WindowId> &windows) const
{
    QList<WindowId> out;
    out.reserve(windows.size());
    for (WindowId w : windows)
        out.append(fromSecond(w));
    return out;
}

QList<WindowId> CombinedWindowSystem::titledWindows()
{
    // Each system's own order, the first's windows before the second's. A compositor lists
    // its X server's windows as well, with the X class as app id: those are left to the X
    // system, which knows more of them.
    QList<WindowId> out = m_first.titledWindows();
    QSet<QPair<QString, QString>> firstWindows;
    for (WindowId w : out)
        firstWindows.insert({m_first.title(w), m_first.windowClass(w).name});
    for (WindowId w : m_second.titledWindows()) {
        if (!firstWindows.contains({m_second.title(w), m_second.windowClass(w).name}))
            out.append(fromSecond(w));
    }
    return out;
}

QList<WindowId> CombinedWindowSystem::descendants(WindowId window)
{
    if (window & kSecondTag)
        return fromSecond(m_second.descendants(local(window)));
    return m_first.descendants(window);
}

QString CombinedWindowSystem::title(WindowId window)
{
    return owner(window).title(local(window));
}

WindowClass CombinedWindowSystem::windowClass(WindowId window)
{
    return owner(window).windowClass(local(window));
}

QString CombinedWindowSystem::staticText(WindowId window)
{
    return owner(window).staticText(local(window));
}

WindowId CombinedWindowSystem::transientFor(WindowId window)
{
    if (window & kSecondTag)
        return fromSecond(m_second.transientFor(local(window)));
    return m_first.transientFor(window);
}

bool CombinedWindowSystem::isDialog(WindowId window)
{
    return owner(window).isDialog(local(window));
}

bool CombinedWindowSystem::requestClose(WindowId window)
{
    return owner(window).requestClose(local(window));
}

bool CombinedWindowSystem::activate(WindowId window)
{
    return owner(window).activate(local(window));
}

bool CombinedWindowSystem::sendKey(WindowId window, DialogKey key)
{
    return owner(window).sendKey(local(window), key);
}

WindowId CombinedWindowSystem::foregroundWindow()
{
    // Only one of them has the focus: the compositor knows whether an X window has it.
    const WindowId second = m_second.foregroundWindow();
    if (second != 0)
        return fromSecond(second);
    return m_first.foregroundWindow();
}

QString CombinedWindowSystem::address(WindowId window)
{
    return owner(window).address(local(window));
}

std::uint64_t CombinedWindowSystem::changeCount()
{
    // Both only grow, so their sum grows whenever either does.
    return m_first.changeCount() + m_second.changeCount();
}

} // namespace kvorn
