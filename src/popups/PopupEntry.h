// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// One entry of the black, white or banned list. The banned list uses the text only.
struct PopupEntry
{
    QString text;
    bool enabled = true; ///< the row's check box; only enabled entries take part in patterns
    QString dateAdded;   ///< short date text, "01/01/01" when the file gave none
    QString lastUsed;    ///< short date text of the last pattern hit (black list only)
};

/// The date text that stands in for a date a list file does not give.
inline QString noDateText()
{
    return QStringLiteral("01/01/01");
}

} // namespace kvorn
