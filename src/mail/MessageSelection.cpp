// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MessageSelection.h"

#include "mail/MessageListModel.h"

#include <algorithm>

namespace kvorn {

int setAllRowsChecked(MessageListModel &list, bool checked)
{
    const int count = list.rowCount();
    for (int row = 0; row < count; ++row)
        list.setChecked(row, checked);
    if (count > 0)
        list.setSelectedRow(count - 1);
    return count;
}

int checkRowRange(MessageListModel &list, int first, int last)
{
    const int count = list.rowCount();
    first = std::max(first, 1);
    last = std::min(last, count);
    if (first > last)
        return 0;
    for (int n = first; n <= last; ++n)
        list.setChecked(n - 1, true);
    list.setSelectedRow(last - 1);
    return last - first + 1;
}

int checkRowsBeginningWith(MessageListModel &list, const QString &text)
{
    // Only the columns the dialog names: "Bounce" ("False"), sizes or unique IDs beginning
    // with the text would otherwise mark unrelated mail for deletion.
    if (text.isEmpty())
        return 0;
    int ticked = 0;
    int last = -1;
    for (int row = 0; row < list.rowCount(); ++row) {
        for (const int column : {ColFrom, ColSubject, ColDate}) {
            if (list.text(row, column).startsWith(text, Qt::CaseInsensitive)) {
                list.setChecked(row, true);
                last = row;
                ++ticked;
                break;
            }
        }
    }
    if (last >= 0)
        list.setSelectedRow(last);
    return ticked;
}

} // namespace kvorn
