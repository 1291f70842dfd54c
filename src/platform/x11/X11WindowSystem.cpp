// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11WindowSystem.h"

#include "platform/AddressSource.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_ewmh.h>
#include <xcb/xcb_icccm.h>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kvorn {

namespace {

// What we keep of one client window between surveys.
struct Entry
{
    WindowClass windowClass;
    QString title;
    xcb_window_t transientFor = XCB_NONE;
    bool dialogType = false;
    bool staleClass = true;
    bool staleTitle = true;
    bool staleKind = true;

    bool stale() const { return staleClass || staleTitle || staleKind; }
};

template <typename T>
struct FreeDeleter
{
    void operator()(T *p) const { std::free(p); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeDeleter<T>>;

QString textFromBytes(const char *data, int length, bool latin1)
{
    // Titles are often stored with a trailing NUL; anything after the first one is not text.
    int n = 0;
    while (n < length && data[n] != '\0')
        ++n;
    if (latin1)
        return QString::fromLatin1(data, n);
    return QString::fromUtf8(data, n);
}

// How long sendKey waits for a window to take the focus before giving up on the key.
constexpr auto kFocusWait = std::chrono::milliseconds(300);
constexpr auto kFocusPoll = std::chrono::milliseconds(5);

} // namespace

struct X11WindowSystem::Private
{
    xcb_connection_t *c = nullptr;
    int screenNumber = 0;
    xcb_window_t root = XCB_NONE;
    xcb_ewmh_connection_t ewmh{};
    bool ewmhReady = false;
    xcb_atom_t wmDeleteWindow = XCB_NONE;
    xcb_key_symbols_t *keySymbols = nullptr;
    bool xtest = false;
    std::unique_ptr<QSocketNotifier> notifier;

    std::vector<xcb_window_t> clients;
    std::unordered_map<xcb_window_t, Entry> cache;
    QList<WindowId> titled;

    bool listStale = true;
    bool membershipChanged = false;
    bool entriesStale = false;
    bool supportedStale = true;
    bool activeStale = true;
    bool haveClientList = false;
    bool canCloseThroughWm = false;
    bool canActivateThroughWm = false;
    bool haveActiveProperty = false;
    xcb_window_t active = XCB_NONE;

    std::uint64_t changes = 0;
    std::uint64_t roundTrips = 0;
    AddressSource *addresses = nullptr;

    bool up() const { return c && !xcb_connection_has_error(c); }

    void handle(const xcb_generic_event_t *event)
    {
        // Errors (response type 0) come from requests on windows that went away
        // meanwhile; the next read of the client list settles them.
        const uint8_t type = event->response_type & 0x7f;
        if (type == XCB_DESTROY_NOTIFY) {
            // X ids are reused: a window that died must leave the cache even when the
            // client list looks the same afterwards (a new window under the old id).
            const auto *e = reinterpret_cast<const xcb_destroy_notify_event_t *>(event);
            if (addresses)
                addresses->forget(e->window);
            if (cache.erase(e->window)) {
                std::erase(clients, e->window);
                listStale = true;
                membershipChanged = true;
            }
            return;
        }
        if (type != XCB_PROPERTY_NOTIFY)
            return;
        const auto *e = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (e->window == root) {
            if (e->atom == ewmh._NET_CLIENT_LIST)
                listStale = true;
            else if (e->atom == ewmh._NET_ACTIVE_WINDOW)
                activeStale = true;
            else if (e->atom == ewmh._NET_SUPPORTED)
                supportedStale = true;
            return;
        }
        const auto it = cache.find(e->window);
        if (it == cache.end())
            return;
        Entry &entry = it->second;
        if (e->atom == XCB_ATOM_WM_NAME || e->atom == ewmh._NET_WM_NAME)
            entry.staleTitle = true;
        else if (e->atom == XCB_ATOM_WM_CLASS)
            entry.staleClass = true;
        else if (e->atom == XCB_ATOM_WM_TRANSIENT_FOR || e->atom == ewmh._NET_WM_WINDOW_TYPE)
            entry.staleKind = true;
        else
            return;
        entriesStale = true;
    }

    void pump()
    {
        if (!up())
            return;
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            handle(event);
            std::free(event);
        }
    }

    void readSupported()
    {
        supportedStale = false;
        canCloseThroughWm = false;
        canActivateThroughWm = false;
        xcb_ewmh_get_atoms_reply_t atoms;
        ++roundTrips;
        if (!xcb_ewmh_get_supported_reply(&ewmh, xcb_ewmh_get_supported(&ewmh, screenNumber),
                                          &atoms, nullptr))
            return;
        for (uint32_t i = 0; i < atoms.atoms_len; ++i) {
            if (atoms.atoms[i] == ewmh._NET_CLOSE_WINDOW)
                canCloseThroughWm = true;
            else if (atoms.atoms[i] == ewmh._NET_ACTIVE_WINDOW)
                canActivateThroughWm = true;
        }
        xcb_ewmh_get_atoms_reply_wipe(&atoms);
    }

    // Without a window manager the clients are the root's mapped, managed-looking children.
    std::vector<xcb_window_t> mappedRootChildren()
    {
        std::vector<xcb_window_t> result;
        ++roundTrips;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (!tree)
            return result;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        const int count = xcb_query_tree_children_length(tree.get());
        std::vector<xcb_get_window_attributes_cookie_t> cookies;
        cookies.reserve(count);
        for (int i = 0; i < count; ++i)
            cookies.push_back(xcb_get_window_attributes(c, children[i]));
        ++roundTrips;
        for (int i = 0; i < count; ++i) {
            Reply<xcb_get_window_attributes_reply_t> attributes(
                xcb_get_window_attributes_reply(c, cookies[i], nullptr));
            if (attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE &&
                !attributes->override_redirect)
                result.push_back(children[i]);
        }
        return result;
    }

    // Reads the client list; true when it differs from the last one.
    bool readClientList()
    {
        listStale = false;
        std::vector<xcb_window_t> fresh;
        xcb_ewmh_get_windows_reply_t list;
        ++roundTrips;
        if (xcb_ewmh_get_client_list_reply(&ewmh, xcb_ewmh_get_client_list(&ewmh, screenNumber),
                                           &list, nullptr)) {
            haveClientList = true;
            fresh.assign(list.windows, list.windows + list.windows_len);
            xcb_ewmh_get_windows_reply_wipe(&list);
        } else {
            // No window manager publishes a list: read the tree on every survey, as
            // nothing would tell us about new windows.
            haveClientList = false;
            fresh = mappedRootChildren();
        }
        if (fresh == clients)
            return false;

        std::unordered_map<xcb_window_t, Entry> kept;
        kept.reserve(fresh.size());
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        for (const xcb_window_t window : fresh) {
            const auto it = cache.find(window);
            if (it != cache.end()) {
                kept.emplace(window, std::move(it->second));
                continue;
            }
            // Listen first, read after: a change between the two is then not missed.
            xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &mask);
            kept.emplace(window, Entry{});
            entriesStale = true;
        }
        cache = std::move(kept);
        clients = std::move(fresh);
        return true;
    }

    struct Pending
    {
        Entry *entry = nullptr;
        bool readClass = false, readTitle = false, readKind = false;
        xcb_get_property_cookie_t wmClass{}, netName{}, wmName{}, transient{}, type{};
    };

    void readTitleInto(QString &title, xcb_get_property_cookie_t netName,
                       xcb_get_property_cookie_t wmName)
    {
        xcb_ewmh_get_utf8_strings_reply_t utf8;
        title.clear();
        if (xcb_ewmh_get_wm_name_reply(&ewmh, netName, &utf8, nullptr)) {
            title = textFromBytes(utf8.strings, int(utf8.strings_len), false);
            xcb_ewmh_get_utf8_strings_reply_wipe(&utf8);
        }
        Reply<xcb_get_property_reply_t> legacy(xcb_get_property_reply(c, wmName, nullptr));
        if (!title.isEmpty() || !legacy || legacy->format != 8)
            return;
        // WM_NAME is Latin-1 when typed STRING; some programs store UTF-8 in it instead.
        title = textFromBytes(static_cast<const char *>(xcb_get_property_value(legacy.get())),
                              xcb_get_property_value_length(legacy.get()),
                              legacy->type == XCB_ATOM_STRING);
    }

    xcb_get_property_cookie_t askWmName(xcb_window_t window)
    {
        return xcb_get_property(c, 0, window, XCB_ATOM_WM_NAME, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                4096);
    }

    static WindowClass classFrom(xcb_icccm_get_wm_class_reply_t &reply)
    {
        WindowClass result;
        result.instance = reply.instance_name ? QString::fromLocal8Bit(reply.instance_name)
                                              : QString();
        result.name = reply.class_name ? QString::fromLocal8Bit(reply.class_name) : QString();
        return result;
    }

    void readKindInto(xcb_window_t &transient, bool &dialogType,
                      xcb_get_property_cookie_t transientCookie, xcb_get_property_cookie_t typeCookie)
    {
        transient = XCB_NONE;
        if (!xcb_icccm_get_wm_transient_for_reply(c, transientCookie, &transient, nullptr))
            transient = XCB_NONE;
        xcb_ewmh_get_atoms_reply_t types;
        // A transient window that names no type is a dialog by the EWMH rule.
        bool dialog = true;
        if (xcb_ewmh_get_wm_window_type_reply(&ewmh, typeCookie, &types, nullptr)) {
            dialog = false;
            for (uint32_t i = 0; i < types.atoms_len; ++i) {
                if (types.atoms[i] == ewmh._NET_WM_WINDOW_TYPE_DIALOG)
                    dialog = true;
            }
            xcb_ewmh_get_atoms_reply_wipe(&types);
        }
        dialogType = dialog;
    }

    // Re-reads the stale pieces of every cached window in one batch; true when anything
    // read differs from what was kept.
    bool readStaleEntries()
    {
        entriesStale = false;
        std::vector<Pending> pending;
        for (auto &[window, entry] : cache) {
            if (!entry.stale())
                continue;
            Pending p;
            p.entry = &entry;
            p.readClass = entry.staleClass;
            p.readTitle = entry.staleTitle;
            p.readKind = entry.staleKind;
            if (p.readClass)
                p.wmClass = xcb_icccm_get_wm_class(c, window);
            if (p.readTitle) {
                p.netName = xcb_ewmh_get_wm_name(&ewmh, window);
                p.wmName = askWmName(window);
            }
            if (p.readKind) {
                p.transient = xcb_icccm_get_wm_transient_for(c, window);
                p.type = xcb_ewmh_get_wm_window_type(&ewmh, window);
            }
            entry.staleClass = entry.staleTitle = entry.staleKind = false;
            pending.push_back(p);
        }
        if (pending.empty())
            return false;
        ++roundTrips;
        bool changed = false;
        for (Pending &p : pending) {
            Entry &entry = *p.entry;
            if (p.readClass) {
                WindowClass fresh;
                xcb_icccm_get_wm_class_reply_t reply;
                if (xcb_icccm_get_wm_class_reply(c, p.wmClass, &reply, nullptr)) {
                    fresh = classFrom(reply);
                    xcb_icccm_get_wm_class_reply_wipe(&reply);
                }
                changed |= !(fresh == entry.windowClass);
                entry.windowClass = std::move(fresh);
            }
            if (p.readTitle) {
                QString fresh;
                readTitleInto(fresh, p.netName, p.wmName);
                changed |= fresh != entry.title;
                entry.title = std::move(fresh);
            }
            if (p.readKind) {
                xcb_window_t transient = XCB_NONE;
                bool dialog = false;
                readKindInto(transient, dialog, p.transient, p.type);
                changed |= transient != entry.transientFor || dialog != entry.dialogType;
                entry.transientFor = transient;
                entry.dialogType = dialog;
            }
        }
        return changed;
    }

    void refresh()
    {
        if (!up())
            return;
        pump();
        if (supportedStale)
            readSupported();
        bool changed = std::exchange(membershipChanged, false);
        if (listStale || !haveClientList)
            changed |= readClientList();
        if (entriesStale)
            changed |= readStaleEntries();
        if (!changed)
            return;
        ++changes;
        titled.clear();
        for (const xcb_window_t window : clients) {
            if (!cache[window].title.isEmpty())
                titled.append(window);
        }
    }

    // A window that is no client of ours (a descendant, or one the survey has not seen
    // yet) is read directly.
    const Entry *cached(xcb_window_t window)
    {
        const auto it = cache.find(window);
        if (it == cache.end())
            return nullptr;
        if (it->second.stale())
            refresh();
        const auto again = cache.find(window);
        return again == cache.end() ? nullptr : &again->second;
    }

    xcb_window_t focusedWindow()
    {
        ++roundTrips;
        Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        return focus ? focus->focus : XCB_NONE;
    }

    // True when the focus is on the window or inside it (toolkits may focus a child).
    bool hasFocus(xcb_window_t window)
    {
        xcb_window_t w = focusedWindow();
        for (int depth = 0; depth < 8 && w != XCB_NONE && w != root; ++depth) {
            if (w == window)
                return true;
            ++roundTrips;
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
            if (!tree)
                return false;
            w = tree->parent;
        }
        return false;
    }

    // What the address source needs to find a window: its process, its place, and the
    // places of the same process's other windows of the same title. One batch.
    BrowserWindow describe(xcb_window_t window, const QString &title)
    {
        BrowserWindow out;
        out.window = window;
        out.title = title;
        struct Asked
        {
            xcb_window_t window;
            xcb_get_property_cookie_t pid;
            xcb_get_geometry_cookie_t geometry;
            xcb_translate_coordinates_cookie_t origin;
        };
        std::vector<Asked> asked;
        for (const xcb_window_t w : clients) {
            const auto it = cache.find(w);
            if (w != window && (it == cache.end() || it->second.title != title))
                continue;
            asked.push_back({w, xcb_ewmh_get_wm_pid(&ewmh, w), xcb_get_geometry(c, w),
                             xcb_translate_coordinates(c, w, root, 0, 0)});
        }
        ++roundTrips;
        struct Seen
        {
            xcb_window_t window;
            std::uint32_t pid;
            QRect place;
        };
        std::vector<Seen> seen;
        for (const Asked &a : asked) {
            Seen s{a.window, 0, {}};
            uint32_t pid = 0;
            if (xcb_ewmh_get_wm_pid_reply(&ewmh, a.pid, &pid, nullptr))
                s.pid = pid;
            Reply<xcb_get_geometry_reply_t> geometry(
                xcb_get_geometry_reply(c, a.geometry, nullptr));
            Reply<xcb_translate_coordinates_reply_t> origin(
                xcb_translate_coordinates_reply(c, a.origin, nullptr));
            if (geometry && origin)
                s.place = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
            seen.push_back(s);
        }
        for (const Seen &s : seen) {
            if (s.window == window) {
                out.pid = s.pid;
                out.geometry = s.place;
            }
        }
        for (const Seen &s : seen) {
            if (s.window != window && s.pid == out.pid)
                out.twins.append(s.place);
        }
        return out;
    }

    xcb_keycode_t keycodeOf(xcb_keysym_t sym)
    {
        if (!keySymbols)
            keySymbols = xcb_key_symbols_alloc(c);
        if (!keySymbols)
            return 0;
        xcb_keycode_t *codes = xcb_key_symbols_get_keycode(keySymbols, sym);
        if (!codes)
            return 0;
        const xcb_keycode_t code = codes[0];
        std::free(codes);
        return code;
    }
};

X11WindowSystem::X11WindowSystem(const char *displayName) : d(std::make_unique<Private>())
{
    xcb_connection_t *c = xcb_connect(displayName, &d->screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    d->c = c;
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < d->screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    d->root = it.data->root;

    const xcb_intern_atom_cookie_t deleteCookie =
        xcb_intern_atom(c, 0, 16, "WM_DELETE_WINDOW");
    xcb_intern_atom_cookie_t *ewmhCookies = xcb_ewmh_init_atoms(c, &d->ewmh);
    d->ewmhReady = xcb_ewmh_init_atoms_replies(&d->ewmh, ewmhCookies, nullptr);
    Reply<xcb_intern_atom_reply_t> deleteAtom(xcb_intern_atom_reply(c, deleteCookie, nullptr));
    if (deleteAtom)
        d->wmDeleteWindow = deleteAtom->atom;
    ++d->roundTrips;
    if (!d->ewmhReady) {
        xcb_disconnect(c);
        d->c = nullptr;
        return;
    }

    // Our own connection's interest in the root: the client list, the active window and
    // the window manager's capabilities.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, d->root, XCB_CW_EVENT_MASK, &mask);
    const xcb_query_extension_reply_t *test = xcb_get_extension_data(c, &xcb_test_id);
    d->xtest = test && test->present;
    xcb_flush(c);

    // Surveys take in the news themselves; the notifier only keeps the news from piling
    // up in the socket while no survey runs (detection switched off). Taking it in sets
    // flags, nothing more, so the wake-ups cost next to nothing.
    if (QCoreApplication::instance()) {
        d->notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c),
                                                        QSocketNotifier::Read);
        Private *p = d.get();
        QObject::connect(d->notifier.get(), &QSocketNotifier::activated, d->notifier.get(),
                         [p] { p->pump(); });
    }
}

X11WindowSystem::~X11WindowSystem()
{
    d->notifier.reset();
    if (d->keySymbols)
        xcb_key_symbols_free(d->keySymbols);
    if (d->ewmhReady)
        xcb_ewmh_connection_wipe(&d->ewmh);
    if (d->c)
        xcb_disconnect(d->c);
}

bool X11WindowSystem::connected() const
{
    return d->up();
}

int X11WindowSystem::socketDescriptor() const
{
    return d->up() ? xcb_get_file_descriptor(d->c) : -1;
}

void X11WindowSystem::processPendingEvents()
{
    d->pump();
}

std::uint64_t X11WindowSystem::roundTrips() const
{
    return d->roundTrips;
}

QList<WindowId> X11WindowSystem::titledWindows()
{
    d->refresh();
    return d->titled;
}

QList<WindowId> X11WindowSystem::descendants(WindowId window)
{
    QList<WindowId> result;
    if (!d->up() || window == XCB_NONE)
        return result;
    // Breadth first, one batch per level of the tree.
    std::vector<xcb_window_t> level{window};
    while (!level.empty()) {
        std::vector<xcb_query_tree_cookie_t> cookies;
        cookies.reserve(level.size());
        for (const xcb_window_t w : level)
            cookies.push_back(xcb_query_tree(d->c, w));
        ++d->roundTrips;
        std::vector<xcb_window_t> next;
        for (const xcb_query_tree_cookie_t cookie : cookies) {
            Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(d->c, cookie, nullptr));
            if (!tree)
                continue;
            const xcb_window_t *children = xcb_query_tree_children(tree.get());
            const int count = xcb_query_tree_children_length(tree.get());
            for (int i = 0; i < count; ++i) {
                result.append(children[i]);
                next.push_back(children[i]);
            }
        }
        level = std::move(next);
    }
    return result;
}

QString X11WindowSystem::title(WindowId window)
{
    if (!d->up() || window == XCB_NONE)
        return {};
    if (const Entry *entry = d->cached(window))
        return entry->title;
    const auto netName = xcb_ewmh_get_wm_name(&d->ewmh, window);
    const auto wmName = d->askWmName(window);
    ++d->roundTrips;
    QString result;
    d->readTitleInto(result, netName, wmName);
    return result;
}

WindowClass X11WindowSystem::windowClass(WindowId window)
{
    if (!d->up() || window == XCB_NONE)
        return {};
    if (const Entry *entry = d->cached(window))
        return entry->windowClass;
    ++d->roundTrips;
    xcb_icccm_get_wm_class_reply_t reply;
    if (!xcb_icccm_get_wm_class_reply(d->c, xcb_icccm_get_wm_class(d->c, window), &reply,
                                      nullptr))
        return {};
    WindowClass result = Private::classFrom(reply);
    xcb_icccm_get_wm_class_reply_wipe(&reply);
    return result;
}

QString X11WindowSystem::staticText(WindowId)
{
    // X11 windows draw their own text; a dialog's message is no window of its own here.
    return {};
}

WindowId X11WindowSystem::transientFor(WindowId window)
{
    if (!d->up() || window == XCB_NONE)
        return 0;
    xcb_window_t owner = XCB_NONE;
    if (const Entry *entry = d->cached(window)) {
        owner = entry->transientFor;
    } else {
        bool dialog = false;
        const auto transient = xcb_icccm_get_wm_transient_for(d->c, window);
        const auto type = xcb_ewmh_get_wm_window_type(&d->ewmh, window);
        ++d->roundTrips;
        d->readKindInto(owner, dialog, transient, type);
    }
    // Transient for the root means "for the whole program", which names no owner.
    return owner == d->root ? 0 : owner;
}

bool X11WindowSystem::isDialog(WindowId window)
{
    if (!d->up() || window == XCB_NONE)
        return false;
    xcb_window_t owner = XCB_NONE;
    bool dialog = false;
    if (const Entry *entry = d->cached(window)) {
        owner = entry->transientFor;
        dialog = entry->dialogType;
    } else {
        const auto transient = xcb_icccm_get_wm_transient_for(d->c, window);
        const auto type = xcb_ewmh_get_wm_window_type(&d->ewmh, window);
        ++d->roundTrips;
        d->readKindInto(owner, dialog, transient, type);
    }
    return owner != XCB_NONE && dialog;
}

bool X11WindowSystem::requestClose(WindowId window)
{
    if (!d->up() || window == XCB_NONE)
        return false;
    d->refresh();
    // The window manager knows how to close its clients (and what to do with a client
    // that cannot be asked); it only takes the request for windows it manages.
    if (d->canCloseThroughWm && d->cache.count(window)) {
        xcb_ewmh_request_close_window(&d->ewmh, d->screenNumber, window, XCB_CURRENT_TIME,
                                      XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER);
        xcb_flush(d->c);
        return true;
    }
    ++d->roundTrips;
    xcb_icccm_get_wm_protocols_reply_t protocols;
    if (!xcb_icccm_get_wm_protocols_reply(
            d->c, xcb_icccm_get_wm_protocols(d->c, window, d->ewmh.WM_PROTOCOLS), &protocols,
            nullptr))
        return false;
    bool canDelete = false;
    for (uint32_t i = 0; i < protocols.atoms_len; ++i)
        canDelete |= protocols.atoms[i] == d->wmDeleteWindow;
    xcb_icccm_get_wm_protocols_reply_wipe(&protocols);
    if (!canDelete)
        return false;
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = window;
    event.type = d->ewmh.WM_PROTOCOLS;
    event.data.data32[0] = d->wmDeleteWindow;
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(d->c, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char *>(&event));
    xcb_flush(d->c);
    return true;
}

bool X11WindowSystem::activate(WindowId window)
{
    if (!d->up() || window == XCB_NONE)
        return false;
    if (d->supportedStale)
        d->readSupported();
    if (d->canActivateThroughWm) {
        // As a pager would: the window manager raises, switches desktop and focuses.
        xcb_ewmh_request_change_active_window(&d->ewmh, d->screenNumber, window,
                                              XCB_EWMH_CLIENT_SOURCE_TYPE_OTHER,
                                              XCB_CURRENT_TIME, XCB_NONE);
    } else {
        const uint32_t above = XCB_STACK_MODE_ABOVE;
        xcb_configure_window(d->c, window, XCB_CONFIG_WINDOW_STACK_MODE, &above);
        xcb_set_input_focus(d->c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
    }
    xcb_flush(d->c);
    return true;
}

bool X11WindowSystem::sendKey(WindowId window, DialogKey key)
{
    if (!d->up() || window == XCB_NONE || !d->xtest)
        return false;
    xcb_keysym_t sym = XK_Escape;
    switch (key) {
    case DialogKey::Escape: sym = XK_Escape; break;
    case DialogKey::N: sym = XK_n; break;
    case DialogKey::C: sym = XK_c; break;
    }
    const xcb_keycode_t code = d->keycodeOf(sym);
    if (code == 0)
        return false;
    // XTEST types at the focus, wherever it is: the key must not reach another window.
    if (!d->hasFocus(window)) {
        activate(window);
        const auto deadline = std::chrono::steady_clock::now() + kFocusWait;
        bool focused = false;
        while (!focused && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(kFocusPoll);
            focused = d->hasFocus(window);
        }
        if (!focused)
            return false;
    }
    xcb_test_fake_input(d->c, XCB_KEY_PRESS, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(d->c, XCB_KEY_RELEASE, code, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_flush(d->c);
    return true;
}

WindowId X11WindowSystem::foregroundWindow()
{
    if (!d->up())
        return 0;
    d->refresh();
    if (d->activeStale) {
        d->activeStale = false;
        ++d->roundTrips;
        d->haveActiveProperty = xcb_ewmh_get_active_window_reply(
            &d->ewmh, xcb_ewmh_get_active_window(&d->ewmh, d->screenNumber), &d->active, nullptr);
        if (!d->haveActiveProperty)
            d->active = XCB_NONE;
    }
    if (d->haveActiveProperty)
        return d->active;
    // No window manager tells us: the focus itself is the nearest thing.
    const xcb_window_t focus = d->focusedWindow();
    return focus == d->root || focus == XCB_INPUT_FOCUS_POINTER_ROOT ? 0 : focus;
}

QString X11WindowSystem::address(WindowId window)
{
    if (!d->addresses || !d->up() || window == XCB_NONE)
        return {};
    const Entry *entry = d->cached(window);
    // Only the clients the survey lists are browser windows of their own.
    if (!entry || entry->title.isEmpty())
        return {};
    bool lookUpWanted = false;
    const QString title = entry->title;
    const QString known = d->addresses->known(window, title, lookUpWanted);
    if (lookUpWanted)
        d->addresses->lookUp(d->describe(window, title));
    return known;
}

void X11WindowSystem::setAddressSource(AddressSource *source)
{
    d->addresses = source;
}

std::uint64_t X11WindowSystem::changeCount()
{
    d->refresh();
    return d->changes + (d->addresses ? d->addresses->changeCount() : 0);
}

} // namespace kvorn
