// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace kvorn {

/// Keys whose state the program polls.
enum class Key { Control, Shift, Alt, Z, X, F12, Escape, B };

/// Whether a key is held right now, anywhere on the desktop.
class KeyboardState
{
public:
    virtual ~KeyboardState() = default;
    /// True while the key is held down.
    virtual bool isDown(Key key) const = 0;
};

/// A keyboard that never reports a held key (no display, or key polling switched off).
class NoKeyboard final : public KeyboardState
{
public:
    bool isDown(Key) const override { return false; }
};

} // namespace kvorn
