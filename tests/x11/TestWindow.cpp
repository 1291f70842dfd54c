// SPDX-License-Identifier: GPL-3.0-or-later
// A top-level window for the X11 tests: a chosen WM_CLASS and title, optionally a
// transient dialog, optionally refusing to close. It tells on stdout what happens to it:
//   window <id>            mapped (decimal window id)
//   close-requested <n>    asked to close (WM_DELETE_WINDOW) for the n-th time
//   key <name>             a key was pressed in it (Escape, n, c, or code<number>)
//   closed                 it is going away
// Commands on stdin, one a line: "title <text>" retitles it, "quit" ends it; end of
// input ends it too, so it never outlives the test that started it.
#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <poll.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Settings
{
    std::string instance = "testwindow";
    std::string windowClass = "TestWindow";
    std::string title;
    bool legacyTitle = false;
    bool dialog = false;
    bool refuseClose = false;
    xcb_window_t transientFor = XCB_NONE;
};

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
    const xcb_atom_t result = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return result;
}

void say(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stdout);
    std::fflush(stdout);
}

// Plain X programs store WM_NAME in Latin-1; the titles arrive here as UTF-8.
std::string latin1From(const std::string &utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size(); ++i) {
        const auto byte = static_cast<unsigned char>(utf8[i]);
        if ((byte == 0xC2 || byte == 0xC3) && i + 1 < utf8.size()) {
            out.push_back(static_cast<char>(((byte & 0x03) << 6) |
                                            (static_cast<unsigned char>(utf8[++i]) & 0x3F)));
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    return out;
}

struct Window
{
    xcb_connection_t *c;
    xcb_window_t id;
    const Settings &settings;
    xcb_atom_t utf8, netWmName;

    void setTitle(const std::string &title)
    {
        const auto length = static_cast<uint32_t>(title.size());
        if (!settings.legacyTitle)
            xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, netWmName, utf8, 8, length,
                                title.data());
        const std::string legacy = settings.legacyTitle ? latin1From(title) : title;
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8,
                            static_cast<uint32_t>(legacy.size()), legacy.data());
        xcb_flush(c);
    }
};

bool parse(int argc, char **argv, Settings &s)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : std::string(); };
        if (arg == "--instance")
            s.instance = value();
        else if (arg == "--class")
            s.windowClass = value();
        else if (arg == "--title")
            s.title = value();
        else if (arg == "--legacy-title")
            s.legacyTitle = true;
        else if (arg == "--dialog")
            s.dialog = true;
        else if (arg == "--refuse-close")
            s.refuseClose = true;
        else if (arg == "--transient-for")
            s.transientFor = static_cast<xcb_window_t>(std::strtoul(value().c_str(), nullptr, 0));
        else {
            std::fprintf(stderr, "unknown argument %s\n", arg.c_str());
            return false;
        }
    }
    return true;
}

std::string keyName(xcb_key_symbols_t *symbols, xcb_keycode_t code)
{
    switch (xcb_key_symbols_get_keysym(symbols, code, 0)) {
    case XK_Escape: return "Escape";
    case XK_n: return "n";
    case XK_c: return "c";
    default: return "code" + std::to_string(code);
    }
}

} // namespace

int main(int argc, char **argv)
{
    Settings s;
    if (!parse(argc, argv, s))
        return 2;
    int screenNumber = 0;
    xcb_connection_t *c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        std::fprintf(stderr, "cannot open the display\n");
        return 1;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&it);
    xcb_screen_t *screen = it.data;

    const xcb_atom_t wmProtocols = atom(c, "WM_PROTOCOLS");
    const xcb_atom_t wmDelete = atom(c, "WM_DELETE_WINDOW");
    Window w{c, xcb_generate_id(c), s, atom(c, "UTF8_STRING"), atom(c, "_NET_WM_NAME")};

    const uint32_t values[] = {screen->white_pixel,
                               XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_KEY_PRESS |
                                   XCB_EVENT_MASK_FOCUS_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, w.id, screen->root, 10, 10, 240, 120, 0,
                      XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    std::string wmClass = s.instance;
    wmClass.push_back('\0');
    wmClass += s.windowClass;
    wmClass.push_back('\0');
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w.id, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        static_cast<uint32_t>(wmClass.size()), wmClass.data());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w.id, wmProtocols, XCB_ATOM_ATOM, 32, 1,
                        &wmDelete);
    if (!s.title.empty())
        w.setTitle(s.title);
    if (s.transientFor != XCB_NONE)
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w.id, XCB_ATOM_WM_TRANSIENT_FOR,
                            XCB_ATOM_WINDOW, 32, 1, &s.transientFor);
    if (s.dialog) {
        const xcb_atom_t dialogType = atom(c, "_NET_WM_WINDOW_TYPE_DIALOG");
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w.id, atom(c, "_NET_WM_WINDOW_TYPE"),
                            XCB_ATOM_ATOM, 32, 1, &dialogType);
    }
    xcb_map_window(c, w.id);
    xcb_flush(c);
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(c);

    int closeRequests = 0;
    bool running = true;
    std::string input;
    pollfd fds[2] = {{xcb_get_file_descriptor(c), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    while (running && !xcb_connection_has_error(c)) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(c)) {
            switch (event->response_type & 0x7f) {
            case XCB_MAP_NOTIFY:
                if (reinterpret_cast<xcb_map_notify_event_t *>(event)->window == w.id)
                    say("window " + std::to_string(w.id));
                break;
            case XCB_KEY_PRESS:
                say("key " + keyName(symbols,
                                     reinterpret_cast<xcb_key_press_event_t *>(event)->detail));
                break;
            case XCB_CLIENT_MESSAGE: {
                const auto *m = reinterpret_cast<xcb_client_message_event_t *>(event);
                if (m->type == wmProtocols && m->data.data32[0] == wmDelete) {
                    say("close-requested " + std::to_string(++closeRequests));
                    running = s.refuseClose;
                }
                break;
            }
            default: break;
            }
            std::free(event);
        }
        if (!running)
            break;
        xcb_flush(c);
        if (poll(fds, 2, -1) < 0)
            break;
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[512];
            const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0)
                break;
            input.append(buffer, static_cast<size_t>(n));
            size_t end;
            while ((end = input.find('\n')) != std::string::npos) {
                const std::string line = input.substr(0, end);
                input.erase(0, end + 1);
                if (line.rfind("title ", 0) == 0)
                    w.setTitle(line.substr(6));
                else if (line == "quit")
                    running = false;
            }
        }
    }
    say("closed");
    xcb_key_symbols_free(symbols);
    xcb_destroy_window(c, w.id);
    xcb_flush(c);
    xcb_disconnect(c);
    return 0;
}
