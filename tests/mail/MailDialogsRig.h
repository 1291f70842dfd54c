// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The mail screen with every mail command bound, as the program binds them: the dialogs,
// the toolbar and the keys, saving through the same step as the program.
#include "MailScreenRig.h"
#include "log/KillCounters.h"
#include "mail/MailExitSave.h"
#include "mail/MailLists.h"
#include "mail/MailProcessor.h"
#include "shell/MailCommands.h"
#include "shell/MailListsWindow.h"

namespace kvorn::test {

struct MailDialogsRig : MailScreenRig
{
    MailLists lists{core.env.programFolder(), core.clock};
    MailProcessor processor{{check, list, settings, accounts, core.prompt, nullptr, nullptr}};
    KillCounters counters;
    int saves = 0;
    MailCommands *commands = nullptr;

    MailDialogsRig()
    {
        installMailFilter(window, *screen, processor, lists, list, core.prompt);
        commands = new MailCommands(
            window, *screen,
            {settings, accounts, lists, list, check, processor, core.prompt, core.store,
             [this] {
                 ++saves;
                 return saveMailAtExit(core.store, settings, accounts, counters, lists);
             },
             [this] { return lists.LoadMailLists(); }, &core.controller});
    }

    int addRow(const QString &from, const QString &subject = {}, bool checked = false)
    {
        MailListRow row;
        row.text[ColFrom] = from;
        row.text[ColSubject] = subject;
        row.text[ColDate] = QStringLiteral("Wed, 9 Dec 2026 10:00:00 +0000");
        row.text[ColSize] = QStringLiteral("1024");
        row.text[ColBounce] = QStringLiteral("False");
        row.text[ColBlacklist] = QStringLiteral("False");
        row.text[ColUniqueId] = QStringLiteral("0000%1").arg(list.rowCount() + 1);
        row.checked = checked;
        row.tag = list.rowCount() + 1;
        return list.rowOfKey(list.addRow(std::move(row)));
    }
    QList<int> checkedRows() const
    {
        QList<int> rows;
        for (int r = 0; r < list.rowCount(); ++r) {
            if (list.isChecked(r))
                rows.append(r + 1);
        }
        return rows;
    }
};

} // namespace kvorn::test
