#include "platform/atspi/AtspiAddressFinder.h"

#include <atspi/atspi.h>
#include <dbus/dbus.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
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

struct GFreeText
{
    void operator()(gchar *p) const { g_free(p); }
};
using Text = std::unique_ptr<gchar, GFreeText>;

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

ap::Rect extentsOf(AtspiAccessible *frame)
{
    Error error;
    AtspiComponent *component = atspi_accessible_get_component_iface(frame);
    AtspiRect *r = component ? atspi_component_get_extents(component, ATSPI_COORD_TYPE_SCREEN,
                                                           &error)
                             : nullptr;
    if (component)
        g_object_unref(component);
    ap::Rect out;
    if (r) {
        out = {r->x, r->y, r->width, r->height};
        g_free(r);
    } else {
        out = {-100000, -100000, 0, 0};
    }
    return out;
}

std::string documentAddress(AtspiAccessible *document)
{
    AtspiDocument *iface = atspi_accessible_get_document_iface(document);
    if (!iface)
        return {};
    std::string address;
    for (const char *attribute : {"URI", "DocURL"}) {
        Error error;
        Text value(atspi_document_get_document_attribute_value(
            iface, const_cast<gchar *>(attribute), &error));
        if (value && *value) {
            address = value.get();
            break;
        }
    }
    g_object_unref(iface);
    return address;
}

// The frame's active tab: the document the frame embeds.
std::string embeddedAddress(AtspiAccessible *frame)
{
    std::string address;
    Error error;
    GArray *relations = atspi_accessible_get_relation_set(frame, &error);
    if (!relations)
        return address;
    for (guint i = 0; i < relations->len; ++i) {
        AtspiRelation *relation = g_array_index(relations, AtspiRelation *, i);
        if (address.empty() &&
            atspi_relation_get_relation_type(relation) == ATSPI_RELATION_EMBEDS &&
            atspi_relation_get_n_targets(relation) > 0) {
            Ref document(atspi_relation_get_target(relation, 0));
            if (document)
                address = documentAddress(document.get());
        }
        g_object_unref(relation);
    }
    g_array_free(relations, TRUE);
    return address;
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

    std::vector<Ref> frames;
    Ref desktop(atspi_get_desktop(0));
    if (!desktop)
        return a;
    Error error;
    const gint apps = atspi_accessible_get_child_count(desktop.get(), &error);
    for (gint i = 0; i < apps; ++i) {
        Ref app(atspi_accessible_get_child_at_index(desktop.get(), i, &error));
        if (!app || atspi_accessible_get_process_id(app.get(), &error) != q.pid)
            continue;
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
        const gint count = atspi_accessible_get_child_count(app.get(), &error);
        for (gint j = 0; j < count; ++j) {
            Ref frame(atspi_accessible_get_child_at_index(app.get(), j, &error));
            if (!frame)
                continue;
            Text name(atspi_accessible_get_name(frame.get(), &error));
            if (name && q.title == name.get())
                frames.push_back(std::move(frame));
        }
    }

    std::vector<ap::Rect> places(frames.size());
    if (ap::placesNeeded(q, frames.size())) {
        for (std::size_t i = 0; i < frames.size(); ++i)
            places[i] = extentsOf(frames[i].get());
    }
    const ap::Pick pick = ap::pickFrame(q, places);
    if (pick.status != ap::Status::Found) {
        a.status = pick.status;
        return a;
    }
    AtspiAccessible *chosen = frames[pick.frame].get();
    a.address = embeddedAddress(chosen);
    if (!a.address.empty())
        a.status = ap::Status::Found;
    return a;
}

} // namespace kvorn
