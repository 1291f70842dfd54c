// SPDX-License-Identifier: GPL-3.0-or-later
#include "fakes/FakeWindowSystem.h"

#include <utility>

namespace kvorn::test {

WindowId FakeWindowSystem::add(const Window &window)
{
    const WindowId id = m_nextId++;
    m_windows.emplace(id, window);
    ++m_changes;
    return id;
}

WindowId FakeWindowSystem::addWindow(const WindowClass &windowClass, const QString &title,
                                     CloseBehaviour onClose)
{
    Window w;
    w.windowClass = windowClass;
    w.title = title;
    w.onClose = onClose;
    return add(w);
}

WindowId FakeWindowSystem::addDialog(WindowId owner, const WindowClass &windowClass,
                                     const QString &title, const QString &message)
{
    Window w;
    w.windowClass = windowClass;
    w.title = title;
    w.transientFor = owner;
    w.dialogType = true;
    w.staticText = message;
    return add(w);
}

WindowId FakeWindowSystem::addChild(WindowId parent, const WindowClass &windowClass,
                                    const QString &title)
{
    Window w;
    w.windowClass = windowClass;
    w.title = title;
    w.parent = parent;
    return add(w);
}

void FakeWindowSystem::setTitle(WindowId window, const QString &title)
{
    const auto it = m_windows.find(window);
    if (it == m_windows.end() || it->second.title == title)
        return;
    it->second.title = title;
    ++m_changes;
}

void FakeWindowSystem::setAddress(WindowId window, const QString &address)
{
    if (!exists(window) || m_addresses[window] == address)
        return;
    m_addresses[window] = address;
    ++m_changes;
}

void FakeWindowSystem::setCloseBehaviour(WindowId window, CloseBehaviour behaviour)
{
    const auto it = m_windows.find(window);
    if (it != m_windows.end())
        it->second.onClose = behaviour;
}

void FakeWindowSystem::remove(WindowId window)
{
    if (!m_windows.erase(window))
        return;
    m_addresses.erase(window);
    ++m_changes;
    if (m_foreground == window)
        m_foreground = 0;
    QList<WindowId> children;
    for (const auto &[id, w] : m_windows) {
        if (w.parent == window)
            children.append(id);
    }
    for (const WindowId child : children)
        remove(child);
}

void FakeWindowSystem::applyPendingCloses()
{
    const QList<WindowId> pending = std::exchange(m_pendingCloses, {});
    for (const WindowId window : pending)
        remove(window);
}

const FakeWindowSystem::Window *FakeWindowSystem::find(WindowId window) const
{
    const auto it = m_windows.find(window);
    return it == m_windows.end() ? nullptr : &it->second;
}

QList<WindowId> FakeWindowSystem::titledWindows()
{
    ++surveys;
    QList<WindowId> result;
    for (const auto &[id, w] : m_windows) {
        if (w.parent == 0 && !w.title.isEmpty())
            result.append(id);
    }
    return result;
}

QList<WindowId> FakeWindowSystem::descendants(WindowId window)
{
    QList<WindowId> result;
    QList<WindowId> level{window};
    while (!level.isEmpty()) {
        QList<WindowId> next;
        for (const WindowId parent : level) {
            for (const auto &[id, w] : m_windows) {
                if (w.parent == parent)
                    next.append(id);
            }
        }
        result += next;
        level = next;
    }
    return result;
}

QString FakeWindowSystem::title(WindowId window)
{
    const Window *w = find(window);
    return w ? w->title : QString();
}

WindowClass FakeWindowSystem::windowClass(WindowId window)
{
    const Window *w = find(window);
    return w ? w->windowClass : WindowClass{};
}

QString FakeWindowSystem::staticText(WindowId window)
{
    const Window *w = find(window);
    return w ? w->staticText : QString();
}

WindowId FakeWindowSystem::transientFor(WindowId window)
{
    const Window *w = find(window);
    return w ? w->transientFor : 0;
}

bool FakeWindowSystem::isDialog(WindowId window)
{
    const Window *w = find(window);
    return w && w->transientFor != 0 && w->dialogType;
}

bool FakeWindowSystem::requestClose(WindowId window)
{
    const Window *w = find(window);
    if (!w)
        return false;
    closeRequests.append(window);
    switch (w->onClose) {
    case CloseBehaviour::Close: remove(window); break;
    case CloseBehaviour::Defer:
        if (!m_pendingCloses.contains(window))
            m_pendingCloses.append(window);
        break;
    case CloseBehaviour::Refuse: break;
    }
    return true;
}

bool FakeWindowSystem::activate(WindowId window)
{
    if (!exists(window))
        return false;
    activations.append(window);
    m_foreground = window;
    return true;
}

bool FakeWindowSystem::sendKey(WindowId window, DialogKey key)
{
    if (!exists(window) || !keysGetThrough)
        return false;
    m_foreground = window;
    sentKeys.append({window, key});
    return true;
}

WindowId FakeWindowSystem::foregroundWindow()
{
    return m_foreground;
}

QString FakeWindowSystem::address(WindowId window)
{
    const auto it = m_addresses.find(window);
    return it != m_addresses.end() && exists(window) ? it->second : QString();
}

} // namespace kvorn::test
