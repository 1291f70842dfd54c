// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/KeyboardState.h"

#include <array>
#include <memory>

struct xcb_connection_t;

namespace kvorn {

/// Key state read by polling the X server's keymap (no global grabs needed).
class X11KeyboardState final : public KeyboardState
{
public:
    /// Uses its own connection to the display; with no display every key reads as up.
    explicit X11KeyboardState(const char *displayName = nullptr);
    ~X11KeyboardState() override;
    X11KeyboardState(const X11KeyboardState &) = delete;
    X11KeyboardState &operator=(const X11KeyboardState &) = delete;

    bool isDown(Key key) const override;
    bool connected() const { return m_connection != nullptr; }

private:
    xcb_connection_t *m_connection = nullptr;
    // Key codes of each key (a key can sit on two codes, as left and right Ctrl do).
    std::array<std::array<unsigned char, 2>, 8> m_codes{};
};

} // namespace kvorn
