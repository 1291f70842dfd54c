// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

class MessageListModel;

/// The bulk marks of the advanced selection. A ticked row is a message marked for
/// deletion, so every command ticks exactly the rows it names and no others.

/// Ticks (or unticks) every row; the last row ends selected. Returns the row count.
int setAllRowsChecked(MessageListModel &list, bool checked);
/// Ticks the rows numbered `first` to `last` (counting from 1, in the list's order); the
/// range is cut at the last row, and nothing happens when `first` is above `last` or
/// beyond the last row. The last ticked row ends selected. Returns how many were ticked.
int checkRowRange(MessageListModel &list, int first, int last);
/// Ticks the rows whose "From", "Subject" or "Date" begins with `text`, letter case
/// ignored; an empty text ticks nothing. The last ticked row ends selected. Returns how
/// many rows were ticked.
int checkRowsBeginningWith(MessageListModel &list, const QString &text);

} // namespace kvorn
