// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailExitSave.h"

#include "log/KillCounters.h"
#include "mail/MailLists.h"

#include <QStringList>

namespace kvorn {

QString saveMailAtExit(SettingsStore &store, MailSettings &settings, const MailAccounts &accounts,
                       const KillCounters &counters, MailLists &lists,
                       MailPasswordStore *passwords)
{
    settings.LogDate = counters.LogDate;
    settings.LogMonth = counters.LogMonth;
    settings.LogYear = counters.LogYear;
    settings.LogForever = counters.LogForever;
    settings.LogDateYear = counters.LogDateYear;
    QStringList errors{SaveMailSettings(store, settings, accounts, passwords)};
    for (const QString &list : {QStringLiteral("Blacklist"), QStringLiteral("Whitelist")})
        errors.append(lists.SaveMailList(list).error);
    errors.removeAll(QString());
    return errors.join(QLatin1Char('\n'));
}

} // namespace kvorn
