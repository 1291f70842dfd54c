// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/X11KeyboardState.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace kvorn {

namespace {
struct KeyDef
{
    Key key;
    xcb_keysym_t first;
    xcb_keysym_t second;
};
constexpr KeyDef kKeys[] = {
    {Key::Control, XK_Control_L, XK_Control_R}, {Key::Shift, XK_Shift_L, XK_Shift_R},
    {Key::Alt, XK_Alt_L, XK_Alt_R},             {Key::Z, XK_z, XK_Z},
    {Key::X, XK_x, XK_X},                       {Key::F12, XK_F12, XK_F12},
    {Key::Escape, XK_Escape, XK_Escape},        {Key::B, XK_b, XK_B},
};

unsigned char firstCode(xcb_key_symbols_t *symbols, xcb_keysym_t sym)
{
    xcb_keycode_t *codes = xcb_key_symbols_get_keycode(symbols, sym);
    if (!codes)
        return 0;
    const unsigned char code = codes[0];
    std::free(codes);
    return code;
}
} // namespace

X11KeyboardState::X11KeyboardState(const char *displayName)
{
    xcb_connection_t *connection = xcb_connect(displayName, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    m_connection = connection;
    xcb_key_symbols_t *symbols = xcb_key_symbols_alloc(m_connection);
    for (const KeyDef &def : kKeys) {
        auto &codes = m_codes[static_cast<size_t>(def.key)];
        codes[0] = firstCode(symbols, def.first);
        codes[1] = firstCode(symbols, def.second);
    }
    xcb_key_symbols_free(symbols);
}

X11KeyboardState::~X11KeyboardState()
{
    if (m_connection)
        xcb_disconnect(m_connection);
}

bool X11KeyboardState::isDown(Key key) const
{
    if (!m_connection)
        return false;
    xcb_query_keymap_reply_t *reply =
        xcb_query_keymap_reply(m_connection, xcb_query_keymap(m_connection), nullptr);
    if (!reply)
        return false;
    bool down = false;
    for (const unsigned char code : m_codes[static_cast<size_t>(key)]) {
        if (code != 0 && (reply->keys[code / 8] & (1 << (code % 8))))
            down = true;
    }
    std::free(reply);
    return down;
}

} // namespace kvorn
