// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailListCommands.h"

#include "mail/MessageListModel.h"

namespace kvorn {

MailListAddition runMailListAddCommand(MailLists &lists, MessageListModel &list,
                                       MailListAddCommand command)
{
    const int selected = list.selectedRow();
    if (selected < 0 || selected >= list.rowCount())
        return {};
    const MailListAddition addition = lists.addFromSender(command, list.text(selected, ColFrom));
    if (!addition.added())
        return addition;
    if (addition.unmarkSelectedRow)
        list.setChecked(selected, false);
    std::vector<MailRowState> rows;
    rows.reserve(std::size_t(list.rowCount()));
    for (int r = 0; r < list.rowCount(); ++r)
        rows.push_back({list.isChecked(r), list.text(r, ColFrom)});
    const QList<int> matching = lists.rowsMatchingAddition(addition, rows, selected);
    for (const int r : matching) {
        if (addition.markMatchingRows)
            list.setChecked(r, true);
        list.setText(r, ColStatus, addition.status);
        list.setText(r, ColBlacklist, addition.blacklistText);
    }
    return addition;
}

} // namespace kvorn
