// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// What a list entry that came from outside the program (an update server, an imported
/// file) is found to be before it may join a list.
enum class EntryVerdict
{
    Accepted,
    /// Could cover senders (or windows) at large: "*@", "*.com", "*)", a bare top-level
    /// domain, a popup title of fewer than three literal characters.
    TooBroad,
    /// Holds control characters (tabs and NUL bytes among them) or is too long to be an
    /// address or a title.
    Malformed,
};

/// The longest mail list entry taken from outside (an address has at most 254 characters;
/// one more for a leading "*").
inline constexpr int kMaxMailEntryLength = 255;

/// Whether the text holds a control character: C0 and C1 controls, DEL, and the line and
/// paragraph separators that would end a line in some readers.
bool hasControlCharacter(const QString &text);

/// Judges a mail blacklist entry (as it will be stored). It must name a sender or a
/// domain: once its stars are set aside, one of its pieces keeps a label, a dot and a
/// top-level domain of two or more characters starting with a letter
/// ("*@spam.example", "king@spam.example", "*spam.example"). Everything else could cover
/// senders at large and is too broad.
EntryVerdict judgeMailEntry(const QString &entry);

} // namespace kvorn
