// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fakes/CoreRig.h"

#include "mail/MailCheck.h"
#include "mail/MailSettings.h"
#include "mail/MessageListModel.h"

#include <QSignalSpy>

namespace kvorn::test {

/// The core with the mail settings, the mail list and the mail check.
struct MailRig
{
    CoreRig core;
    MailSettings settings;
    MailAccounts accounts;
    MessageListModel list;
    MailCheck check{{settings, accounts, list, core.prompt, &core.controller, &core.options}};

    /// Sets the accounts list to these servers, user "user<n>" and password "pass<n>".
    void setAccounts(const QStringList &servers)
    {
        QStringList names;
        for (int i = 0; i < servers.size(); ++i) {
            names.append(QStringLiteral("Acct-%1").arg(i));
            MailAccount &a = accounts[std::size_t(i)];
            a.AcctName = QString::number(i);
            a.AcctUser = QStringLiteral("user%1").arg(i);
            a.AcctPass = QStringLiteral("pass%1").arg(i);
            a.AcctPOP3 = servers.at(i);
            a.MailName = QStringLiteral("user%1@example.test").arg(i);
            a.AcctDefault = true;
        }
        settings.Accounts = names.join(QLatin1Char('~'));
    }

    /// Runs a check to its end; false when it did not end within `ms`.
    bool runCheck(int ms = 20000)
    {
        QSignalSpy finished(&check, &MailCheck::checkFinished);
        if (!check.GetNewMail())
            return false;
        return !finished.isEmpty() || finished.wait(ms);
    }

    QString messagesPanel() const { return core.controller.statusTexts().text(MailScreen, 2); }
};

} // namespace kvorn::test
