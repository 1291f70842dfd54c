// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/atspi/AtspiAddressFinder.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kvorn {

namespace ap = addressprotocol;

namespace {

// How long to wait before asking the session bus again whether it runs an accessibility
// bus, after it did not.
constexpr std::int64_t kBusRecheckMs = 2000;

std::int64_t nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct Unref
{
    void operator()(gpointer p) const
    {
        if (p)
            g_object_unref(p);
    }
};
using Ref = std::unique_ptr<AtspiAccessible, Unref>;

// Calls whose failure only means "not this one": the error is dropped.
struct Error
{
    GError *e = nullptr;
    ~Error() { g_clear_error(&e); }
    GError **operator&() { g_clear_error(&e); return &e; }
};

// True when the session bus already runs the accessibility bus. Asking for its address
// would start one (the session bus starts services on demand), and with no session bus
// address libdbus would even start a session bus: neither is ours to start.
bool accessibilityBusRuns()
{
    const char *address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (!address || !*address)
        return false;
    DBusError error;
    dbus_error_init(&error);
    DBusConnection *session = dbus_bus_get(DBUS_BUS_SESSION, &error);
    if (!session) {
        dbus_error_free(&error);
        return false;
    }
    // Our end of the session does not end the reader when the desktop restarts its bus.
    dbus_connection_set_exit_on_disconnect(session, FALSE);
    const bool runs = dbus_bus_name_has_owner(session, "org.a11y.Bus", &error);
    dbus_error_free(&error);
    dbus_connection_unref(session);
    return runs;
}

// The same calls libatspi makes, but sent together: a browser that is building a new
// window answers each call only when its main loop comes round again, so calls sent one
// after another (as libatspi's are) pay that wait each time, calls sent together once.
constexpr int kCallTimeoutMs = 1000;
constexpr const char *kAccessible = "org.a11y.atspi.Accessible";

class Batch
{
public:
    ~Batch()
    {
        for (DBusPendingCall *pending : m_pending) {
            if (pending) {
                dbus_pending_call_cancel(pending);
                dbus_pending_call_unref(pending);
            }
        }
        for (DBusMessage *reply : m_replies) {
            if (reply)
                dbus_message_unref(reply);
        }
    }

    /// Sends the call (and drops the message); the number to fetch its reply with.
    std::size_t send(DBusConnection *bus, DBusMessage *message)
    {
        DBusPendingCall *pending = nullptr;
        if (message && bus &&
            !dbus_connection_send_with_reply(bus, message, &pending, kCallTimeoutMs))
            pending = nullptr;
        if (message)
            dbus_message_unref(message);
        m_pending.push_back(pending);
        m_replies.push_back(nullptr);
        return m_pending.size() - 1;
    }

    /// The call's reply, waited for; null when it failed. Owned by the batch.
    DBusMessage *reply(std::size_t i)
    {
        if (DBusPendingCall *pending = m_pending[i]) {
            dbus_pending_call_block(pending);
            DBusMessage *reply = dbus_pending_call_steal_reply(pending);
            dbus_pending_call_unref(pending);
            m_pending[i] = nullptr;
            if (reply && dbus_message_get_type(reply) != DBUS_MESSAGE_TYPE_METHOD_RETURN) {
                dbus_message_unref(reply);
                reply = nullptr;
            }
            m_replies[i] = reply;
        }
        return m_replies[i];
    }

private:
    std::vector<DBusPendingCall *> m_pending;
    std::vector<DBusMessage *> m_replies;
};

// An object on the accessibility bus: its owner's name and its path.
struct Object
{
    std::string name;
    std::string path;
};

DBusMessage *call(const Object &o, const char *interface, const char *method)
{
    return dbus_message_new_method_call(o.name.c_str(), o.path.c_str(), interface, method);
}

DBusMessage *withText(DBusMessage *m, const char *a, const char *b = nullptr)
{
    if (m && !(b ? dbus_message_append_args(m, DBUS_TYPE_STRING, &a, DBUS_TYPE_STRING, &b,
                                            DBUS_TYPE_INVALID)
                 : dbus_message_append_args(m, DBUS_TYPE_STRING, &a, DBUS_TYPE_INVALID))) {
        dbus_message_unref(m);
        return nullptr;
    }
    return m;
}

DBusMessage *nameCall(const Object &o)
{
    return withText(call(o, DBUS_INTERFACE_PROPERTIES, "Get"), kAccessible, "Name");
}

DBusMessage *extentsCall(const Object &o)
{
    DBusMessage *m = call(o, "org.a11y.atspi.Component", "GetExtents");
    dbus_uint32_t screen = ATSPI_COORD_TYPE_SCREEN;
    if (m && !dbus_message_append_args(m, DBUS_TYPE_UINT32, &screen, DBUS_TYPE_INVALID)) {
        dbus_message_unref(m);
        return nullptr;
    }
    return m;
}

// Reads an (so) struct the iterator stands on.
std::optional<Object> objectAt(DBusMessageIter *iter)
{
    if (dbus_message_iter_get_arg_type(iter) != DBUS_TYPE_STRUCT)
        return std::nullopt;
    DBusMessageIter fields;
    dbus_message_iter_recurse(iter, &fields);
    if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_STRING)
        return std::nullopt;
    const char *name = nullptr;
    dbus_message_iter_get_basic(&fields, &name);
    if (!dbus_message_iter_next(&fields) ||
        dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_OBJECT_PATH)
        return std::nullopt;
    const char *path = nullptr;
    dbus_message_iter_get_basic(&fields, &path);
    // The bridges' way of saying "none".
    if (!name || !path || std::strcmp(path, "/org/a11y/atspi/null") == 0)
        return std::nullopt;
    return Object{name, path};
}

std::vector<Object> childrenIn(DBusMessage *reply)
{
    std::vector<Object> out;
    DBusMessageIter iter, items;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY)
        return out;
    dbus_message_iter_recurse(&iter, &items);
    while (dbus_message_iter_get_arg_type(&items) != DBUS_TYPE_INVALID) {
        if (auto child = objectAt(&items))
            out.push_back(std::move(*child));
        dbus_message_iter_next(&items);
    }
    return out;
}

// A reply of one string, plain (`variant` false) or in a variant.
std::optional<std::string> textIn(DBusMessage *reply, bool variant)
{
    DBusMessageIter iter, inner;
    if (!reply || !dbus_message_iter_init(reply, &iter))
        return std::nullopt;
    DBusMessageIter *at = &iter;
    if (variant) {
        if (dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_VARIANT)
            return std::nullopt;
        dbus_message_iter_recurse(&iter, &inner);
        at = &inner;
    }
    if (dbus_message_iter_get_arg_type(at) != DBUS_TYPE_STRING)
        return std::nullopt;
    const char *text = nullptr;
    dbus_message_iter_get_basic(at, &text);
    return std::string(text ? text : "");
}

ap::Rect extentsIn(DBusMessage *reply)
{
    const ap::Rect nowhere{-100000, -100000, 0, 0};
    DBusMessageIter iter, fields;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_STRUCT)
        return nowhere;
    dbus_message_iter_recurse(&iter, &fields);
    dbus_int32_t v[4];
    for (int i = 0; i < 4; ++i) {
        if (dbus_message_iter_get_arg_type(&fields) != DBUS_TYPE_INT32)
            return nowhere;
        dbus_message_iter_get_basic(&fields, &v[i]);
        dbus_message_iter_next(&fields);
    }
    return {v[0], v[1], v[2], v[3]};
}

// The document a frame embeds (its active tab), from GetRelationSet's a(ua(so)).
std::optional<Object> embeddedIn(DBusMessage *reply)
{
    DBusMessageIter iter, relations;
    if (!reply || !dbus_message_iter_init(reply, &iter) ||
        dbus_message_iter_get_arg_type(&iter) != DBUS_TYPE_ARRAY)
        return std::nullopt;
    dbus_message_iter_recurse(&iter, &relations);
    for (; dbus_message_iter_get_arg_type(&relations) == DBUS_TYPE_STRUCT;
         dbus_message_iter_next(&relations)) {
        DBusMessageIter relation, targets;
        dbus_message_iter_recurse(&relations, &relation);
        if (dbus_message_iter_get_arg_type(&relation) != DBUS_TYPE_UINT32)
            continue;
        dbus_uint32_t type = 0;
        dbus_message_iter_get_basic(&relation, &type);
        if (type != ATSPI_RELATION_EMBEDS || !dbus_message_iter_next(&relation) ||
            dbus_message_iter_get_arg_type(&relation) != DBUS_TYPE_ARRAY)
            continue;
        dbus_message_iter_recurse(&relation, &targets);
        if (auto target = objectAt(&targets))
            return target;
    }
    return std::nullopt;
}

} // namespace

AtspiAddressFinder::AtspiAddressFinder() = default;

AtspiAddressFinder::~AtspiAddressFinder()
{
    if (m_joined)
        atspi_exit();
}

bool AtspiAddressFinder::joinBus()
{
    if (m_joined)
        return true;
    const std::int64_t now = nowMs();
    if (now - m_lastBusCheckMs < kBusRecheckMs)
        return false;
    m_lastBusCheckMs = now;
    if (!accessibilityBusRuns())
        return false;
    // A browser that hangs must not hold the reader for long; a new application gets a
    // little more time, as it builds its tree.
    atspi_set_timeout(1000, 3000);
    if (atspi_init() > 1 || !atspi_get_a11y_bus())
        return false;
    m_joined = true;
    return true;
}

ap::Answer AtspiAddressFinder::answer(const ap::Question &q)
{
    m_mayComeSoon = false;
    ap::Answer a;
    a.seq = q.seq;
    a.window = q.window;
    if (!joinBus()) {
        a.status = ap::Status::Off;
        return a;
    }
    a.status = ap::Status::None;

    // Without the window's process there is nothing to tell one browser's frame from
    // another program's of the same title.
    if (q.pid == 0)
        return a;

    Ref desktop(atspi_get_desktop(0));
    if (!desktop)
        return a;
    Error error;
    // The applications of the window's process: the registry and the bus answer these,
    // not the browser.
    std::vector<Ref> apps;
    const gint count = atspi_accessible_get_child_count(desktop.get(), &error);
    for (gint i = 0; i < count; ++i) {
        Ref app(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (app && atspi_accessible_get_process_id(app.get(), &error) == q.pid)
            apps.push_back(std::move(app));
    }

    // The connection libatspi keeps to an application (perhaps a direct one), for the
    // objects it owns; the accessibility bus for any other.
    const auto busFor = [](AtspiAccessible *app, const std::string &name) -> DBusConnection * {
        const AtspiApplication *owner = ATSPI_OBJECT(app)->app;
        if (owner && owner->bus && owner->bus_name && name == owner->bus_name)
            return owner->bus;
        return atspi_get_a11y_bus();
    };

    // Every frame of those applications bearing the window's title.
    struct Frame
    {
        Object object;
        DBusConnection *bus = nullptr;
    };
    std::vector<Frame> frames;
    for (const Ref &app : apps) {
        // Chromium builds its tree for whoever asks the application for its attributes
        // first; until then its frames have no children and embed nothing. Once is enough.
        if (std::find(m_woken.begin(), m_woken.end(), q.pid) == m_woken.end()) {
            if (GHashTable *attributes = atspi_accessible_get_attributes(app.get(), &error))
                g_hash_table_unref(attributes);
            // Process ids are few and reused now and then: a short list, kept bounded.
            if (m_woken.size() >= 64)
                m_woken.erase(m_woken.begin());
            m_woken.push_back(q.pid);
        }
        const AtspiObject *self = ATSPI_OBJECT(app.get());
        if (!self->app || !self->app->bus_name || !self->path)
            continue;
        m_mayComeSoon = true;
        const Object root{self->app->bus_name, self->path};
        Batch children;
        const std::size_t all =
            children.send(busFor(app.get(), root.name), call(root, kAccessible, "GetChildren"));
        std::vector<Frame> candidates;
        for (Object &child : childrenIn(children.reply(all))) {
            DBusConnection *bus = busFor(app.get(), child.name);
            candidates.push_back({std::move(child), bus});
        }
        Batch names;
        for (const Frame &f : candidates)
            names.send(f.bus, nameCall(f.object));
        for (std::size_t j = 0; j < candidates.size(); ++j) {
            const auto name = textIn(names.reply(j), true);
            if (name && *name == q.title)
                frames.push_back(std::move(candidates[j]));
        }
    }

    std::vector<ap::Rect> places(frames.size());
    if (ap::placesNeeded(q, frames.size())) {
        Batch extents;
        for (const Frame &f : frames)
            extents.send(f.bus, extentsCall(f.object));
        for (std::size_t i = 0; i < frames.size(); ++i)
            places[i] = extentsIn(extents.reply(i));
    }
    const ap::Pick pick = ap::pickFrame(q, places);
    if (pick.status != ap::Status::Found) {
        a.status = pick.status;
        return a;
    }
    const Frame &chosen = frames[pick.frame];

    // The frame's active tab is the document it embeds; its address is its "URI"
    // (Chromium) or "DocURL" (Firefox) attribute.
    Batch relations;
    const auto document = embeddedIn(relations.reply(
        relations.send(chosen.bus, call(chosen.object, kAccessible, "GetRelationSet"))));
    if (!document)
        return a;
    DBusConnection *documentBus =
        document->name == chosen.object.name ? chosen.bus : atspi_get_a11y_bus();
    Batch attributes;
    for (const char *attribute : {"URI", "DocURL"})
        attributes.send(documentBus, withText(call(*document, "org.a11y.atspi.Document",
                                                    "GetAttributeValue"),
                                               attribute));
    for (std::size_t i = 0; i < 2; ++i) {
        const auto address = textIn(attributes.reply(i), false);
        if (address && !address->empty()) {
            a.address = *address;
            a.status = ap::Status::Found;
            m_mayComeSoon = false;
            break;
        }
    }
    return a;
}

} // namespace kvorn
