// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/wayland/WaylandWindowSystem.h"

#include "wlr-foreign-toplevel-management-unstable-v1-client-protocol.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <algorithm>
#include <cstring>
#include <poll.h>
#include <unordered_map>
#include <vector>

namespace kvorn {

namespace {

// The protocol version we speak: 3 adds the parent of a window.
constexpr std::uint32_t kToplevelVersion = 3;


} // namespace

struct WaylandWindowSystem::Private
{
    // One window as the compositor described it; the listener's data.
    struct Toplevel
    {
        Private *owner = nullptr;
        WindowId id = 0;
        zwlr_foreign_toplevel_handle_v1 *handle = nullptr;
        // What the last "done" made true; the pending values wait for the next one.
        QString title;
        QString appId;
        bool activated = false;
        WindowId parent = 0;
        bool shown = false;
        QString pendingTitle;
        QString pendingAppId;
        bool pendingActivated = false;
        WindowId pendingParent = 0;
    };

    wl_display *display = nullptr;
    wl_registry *registry = nullptr;
    zwlr_foreign_toplevel_manager_v1 *manager = nullptr;
    wl_seat *seat = nullptr;
    std::unique_ptr<QSocketNotifier> notifier;

    // Oldest first, as the compositor announced them.
    std::vector<std::unique_ptr<Toplevel>> toplevels;
    std::unordered_map<zwlr_foreign_toplevel_handle_v1 *, Toplevel *> byHandle;
    std::unordered_map<WindowId, Toplevel *> byId;
    WindowId nextId = 1;
    std::uint64_t changes = 1;
    std::uint64_t roundTrips = 0;

    ~Private()
    {
        notifier.reset();
        for (const auto &t : toplevels)
            zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        if (seat)
            wl_seat_destroy(seat);
        if (registry)
            wl_registry_destroy(registry);
        if (display)
            wl_display_disconnect(display);
    }

    Toplevel *shownToplevel(WindowId id) const
    {
        const auto it = byId.find(id);
        return it != byId.end() && it->second->shown ? it->second : nullptr;
    }

    void remove(Toplevel *gone)
    {
        byHandle.erase(gone->handle);
        byId.erase(gone->id);
        zwlr_foreign_toplevel_handle_v1_destroy(gone->handle);
        for (const auto &t : toplevels) {
            if (t->parent == gone->id)
                t->parent = 0;
            if (t->pendingParent == gone->id)
                t->pendingParent = 0;
        }
        std::erase_if(toplevels, [gone](const auto &t) { return t.get() == gone; });
        ++changes;
    }

    // Takes in what the compositor sent without ever blocking, and sends what we asked.
    void pump()
    {
        if (!display)
            return;
        while (wl_display_prepare_read(display) != 0)
            wl_display_dispatch_pending(display);
        wl_display_flush(display);
        pollfd pfd{wl_display_get_fd(display), POLLIN, 0};
        if (::poll(&pfd, 1, 0) > 0 && (pfd.revents & POLLIN))
            wl_display_read_events(display);
        else
            wl_display_cancel_read(display);
        wl_display_dispatch_pending(display);
        if (wl_display_get_error(display) != 0)
            disconnect();
    }

    // A compositor that went away (or broke the protocol) leaves an empty desktop.
    void disconnect()
    {
        notifier.reset();
        for (const auto &t : toplevels)
            zwlr_foreign_toplevel_handle_v1_destroy(t->handle);
        toplevels.clear();
        byHandle.clear();
        byId.clear();
        if (manager)
            zwlr_foreign_toplevel_manager_v1_destroy(manager);
        manager = nullptr;
        if (seat)
            wl_seat_destroy(seat);
        seat = nullptr;
        if (registry)
            wl_registry_destroy(registry);
        registry = nullptr;
        wl_display_disconnect(display);
        display = nullptr;
        ++changes;
    }

    void roundTrip()
    {
        if (!display)
            return;
        ++roundTrips;
        if (wl_display_roundtrip(display) < 0)
            disconnect();
    }

    static void onTitle(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *title)
    {
        static_cast<Toplevel *>(data)->pendingTitle = QString::fromUtf8(title);
    }
    static void onAppId(void *data, zwlr_foreign_toplevel_handle_v1 *, const char *appId)
    {
        static_cast<Toplevel *>(data)->pendingAppId = QString::fromUtf8(appId);
    }
    static void onOutputEnter(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
    static void onOutputLeave(void *, zwlr_foreign_toplevel_handle_v1 *, wl_output *) {}
    static void onState(void *data, zwlr_foreign_toplevel_handle_v1 *, wl_array *states)
    {
        bool activated = false;
        const auto *state = static_cast<const std::uint32_t *>(states->data);
        for (std::size_t i = 0; i < states->size / sizeof(std::uint32_t); ++i)
            activated = activated || state[i] == ZWLR_FOREIGN_TOPLEVEL_HANDLE_V1_STATE_ACTIVATED;
        static_cast<Toplevel *>(data)->pendingActivated = activated;
    }
    static void onDone(void *data, zwlr_foreign_toplevel_handle_v1 *handle);
    static void onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *handle);
    static void onParent(void *data, zwlr_foreign_toplevel_handle_v1 *handle,
                         zwlr_foreign_toplevel_handle_v1 *parent);

    static constexpr zwlr_foreign_toplevel_handle_v1_listener kToplevelListener = {
        .title = onTitle,
        .app_id = onAppId,
        .output_enter = onOutputEnter,
        .output_leave = onOutputLeave,
        .state = onState,
        .done = onDone,
        .closed = onClosed,
        .parent = onParent,
    };

    static void onToplevel(void *data, zwlr_foreign_toplevel_manager_v1 *,
                           zwlr_foreign_toplevel_handle_v1 *handle)
    {
        auto *d = static_cast<Private *>(data);
        auto t = std::make_unique<Toplevel>();
        t->owner = d;
        t->id = d->nextId++;
        t->handle = handle;
        d->byHandle[handle] = t.get();
        d->byId[t->id] = t.get();
        zwlr_foreign_toplevel_handle_v1_add_listener(handle, &kToplevelListener, t.get());
        d->toplevels.push_back(std::move(t));
    }
    static void onFinished(void *data, zwlr_foreign_toplevel_manager_v1 *manager)
    {
        auto *d = static_cast<Private *>(data);
        zwlr_foreign_toplevel_manager_v1_destroy(manager);
        d->manager = nullptr;
    }
    static constexpr zwlr_foreign_toplevel_manager_v1_listener kManagerListener = {
        .toplevel = onToplevel,
        .finished = onFinished,
    };

    static void onGlobal(void *data, wl_registry *registry, std::uint32_t name,
                         const char *interface, std::uint32_t version)
    {
        auto *d = static_cast<Private *>(data);
        if (std::strcmp(interface, zwlr_foreign_toplevel_manager_v1_interface.name) == 0 &&
            !d->manager) {
            d->manager = static_cast<zwlr_foreign_toplevel_manager_v1 *>(
                wl_registry_bind(registry, name, &zwlr_foreign_toplevel_manager_v1_interface,
                                 std::min(version, kToplevelVersion)));
            zwlr_foreign_toplevel_manager_v1_add_listener(d->manager, &kManagerListener, d);
        } else if (std::strcmp(interface, wl_seat_interface.name) == 0 && !d->seat) {
            d->seat = static_cast<wl_seat *>(
                wl_registry_bind(registry, name, &wl_seat_interface, 1));
        }
    }
    static void onGlobalRemove(void *, wl_registry *, std::uint32_t) {}
    static constexpr wl_registry_listener kRegistryListener = {
        .global = onGlobal,
        .global_remove = onGlobalRemove,
    };
};

void WaylandWindowSystem::Private::onDone(void *data, zwlr_foreign_toplevel_handle_v1 *)
{
    auto *t = static_cast<Toplevel *>(data);
    if (t->shown && t->title == t->pendingTitle && t->appId == t->pendingAppId &&
        t->activated == t->pendingActivated && t->parent == t->pendingParent)
        return;
    t->title = t->pendingTitle;
    t->appId = t->pendingAppId;
    t->activated = t->pendingActivated;
    t->parent = t->pendingParent;
    t->shown = true;
    ++t->owner->changes;
}

void WaylandWindowSystem::Private::onClosed(void *data, zwlr_foreign_toplevel_handle_v1 *)
{
    auto *t = static_cast<Toplevel *>(data);
    t->owner->remove(t);
}

void WaylandWindowSystem::Private::onParent(void *data, zwlr_foreign_toplevel_handle_v1 *,
                                            zwlr_foreign_toplevel_handle_v1 *parent)
{
    auto *t = static_cast<Toplevel *>(data);
    t->pendingParent = 0;
    if (parent) {
        const auto it = t->owner->byHandle.find(parent);
        if (it != t->owner->byHandle.end())
            t->pendingParent = it->second->id;
    }
}

WaylandWindowSystem::WaylandWindowSystem(const char *displayName) : d(std::make_unique<Private>())
{
    d->display = wl_display_connect(displayName);
    if (!d->display)
        return;
    d->registry = wl_display_get_registry(d->display);
    wl_registry_add_listener(d->registry, &Private::kRegistryListener, d.get());
    // The globals, then the windows the manager announces with their first details.
    d->roundTrip();
    if (d->manager)
        d->roundTrip();
    if (d->display && QCoreApplication::instance()) {
        d->notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(d->display),
                                                        QSocketNotifier::Read);
        QObject::connect(d->notifier.get(), &QSocketNotifier::activated, d->notifier.get(),
                         [this] { d->pump(); });
    }
}

WaylandWindowSystem::~WaylandWindowSystem() = default;

bool WaylandWindowSystem::connected() const
{
    return d->display != nullptr;
}

bool WaylandWindowSystem::offersToplevels() const
{
    return d->manager != nullptr;
}

void WaylandWindowSystem::processPendingEvents()
{
    d->pump();
}

void WaylandWindowSystem::sync()
{
    d->roundTrip();
}

std::uint64_t WaylandWindowSystem::roundTrips() const
{
    return d->roundTrips;
}

QList<WindowId> WaylandWindowSystem::titledWindows()
{
    d->pump();
    QList<WindowId> ids;
    for (const auto &t : d->toplevels) {
        if (t->shown && !t->title.isEmpty())
            ids.append(t->id);
    }
    return ids;
}

QList<WindowId> WaylandWindowSystem::descendants(WindowId)
{
    // A Wayland client's surfaces inside its window are its own business.
    return {};
}

QString WaylandWindowSystem::title(WindowId window)
{
    const Private::Toplevel *t = d->shownToplevel(window);
    return t ? t->title : QString();
}

WindowClass WaylandWindowSystem::windowClass(WindowId window)
{
    const Private::Toplevel *t = d->shownToplevel(window);
    return t ? WindowClass{t->appId, t->appId, true} : WindowClass{};
}

QString WaylandWindowSystem::staticText(WindowId)
{
    return {};
}

WindowId WaylandWindowSystem::transientFor(WindowId window)
{
    const Private::Toplevel *t = d->shownToplevel(window);
    return t ? t->parent : 0;
}

bool WaylandWindowSystem::isDialog(WindowId)
{
    // The protocol tells a child window from others, not a dialog from other children.
    return false;
}

bool WaylandWindowSystem::requestClose(WindowId window)
{
    const Private::Toplevel *t = d->shownToplevel(window);
    if (!t || !d->display)
        return false;
    zwlr_foreign_toplevel_handle_v1_close(t->handle);
    wl_display_flush(d->display);
    return true;
}

bool WaylandWindowSystem::activate(WindowId window)
{
    const Private::Toplevel *t = d->shownToplevel(window);
    if (!t || !d->seat || !d->display)
        return false;
    zwlr_foreign_toplevel_handle_v1_activate(t->handle, d->seat);
    wl_display_flush(d->display);
    return true;
}

bool WaylandWindowSystem::sendKey(WindowId, DialogKey)
{
    // Wayland lets no client type into another one's window.
    return false;
}

WindowId WaylandWindowSystem::foregroundWindow()
{
    d->pump();
    for (const auto &t : d->toplevels) {
        if (t->shown && t->activated)
            return t->id;
    }
    return 0;
}

QString WaylandWindowSystem::address(WindowId)
{
    // No protocol shows another program's page addresses.
    return {};
}

std::uint64_t WaylandWindowSystem::changeCount()
{
    d->pump();
    return d->changes;
}

} // namespace kvorn
