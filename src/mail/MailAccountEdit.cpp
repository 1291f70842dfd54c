// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailAccountEdit.h"

#include "core/SettingsStore.h"
#include "platform/SecretStore.h"

namespace kvorn {

namespace {
QString stripped(QString text)
{
    text.remove(QLatin1Char('\r'));
    text.remove(QLatin1Char('\n'));
    return text;
}
} // namespace

int mailAccountCount(const MailSettings &settings)
{
    return int(mailAccountNames(settings).size());
}

QString mailAccountSubKey(const QString &nickname)
{
    return QStringLiteral("Acct-") + nickname;
}

MailAccount withoutLineBreaks(MailAccount account)
{
    for (QString *field : {&account.MailName, &account.AcctName, &account.AcctUser,
                           &account.AcctSMTP, &account.AcctPOP3, &account.AcctPass})
        *field = stripped(*field);
    return account;
}

QString nicknameProblem(const MailSettings &settings, const MailAccounts &accounts,
                        const QString &nickname, int row)
{
    if (nickname.isEmpty())
        return QStringLiteral("You must Specify an Account Name");
    if (nickname.contains(QLatin1Char('~')))
        return QStringLiteral("An account name must not contain \"~\".");
    const int count = mailAccountCount(settings);
    for (int n = 0; n < count; ++n) {
        if (n != row &&
            accounts[std::size_t(n)].AcctName.compare(nickname, Qt::CaseInsensitive) == 0)
            return QStringLiteral("There is already an account named \"%1\".")
                .arg(accounts[std::size_t(n)].AcctName);
    }
    return {};
}

void rebuildMailAccountsList(MailSettings &settings, MailAccounts &accounts, int count)
{
    QStringList names;
    int kept = 0;
    for (int n = 0; n < count && n < kMaxMailAccounts; ++n) {
        if (accounts[std::size_t(n)].AcctName.isEmpty())
            continue;
        if (kept != n)
            accounts[std::size_t(kept)] = accounts[std::size_t(n)];
        names.append(mailAccountSubKey(accounts[std::size_t(kept)].AcctName));
        ++kept;
    }
    for (int n = kept; n < count && n < kMaxMailAccounts; ++n)
        accounts[std::size_t(n)] = MailAccount{};
    settings.Accounts = names.join(QLatin1Char('~'));
}

int addMailAccount(MailSettings &settings, MailAccounts &accounts, const MailAccount &account)
{
    const int count = mailAccountCount(settings);
    if (count >= kMaxMailAccounts)
        return -1;
    accounts[std::size_t(count)] = withoutLineBreaks(account);
    rebuildMailAccountsList(settings, accounts, count + 1);
    return mailAccountCount(settings) - 1;
}

void updateMailAccount(MailSettings &settings, MailAccounts &accounts, int row,
                       const MailAccount &account)
{
    const int count = mailAccountCount(settings);
    if (row < 0 || row >= count)
        return;
    accounts[std::size_t(row)] = withoutLineBreaks(account);
    rebuildMailAccountsList(settings, accounts, count);
}

void removeMailAccount(MailSettings &settings, MailAccounts &accounts, int row)
{
    const int count = mailAccountCount(settings);
    if (row < 0 || row >= count)
        return;
    for (int n = row; n + 1 < count; ++n)
        accounts[std::size_t(n)] = accounts[std::size_t(n + 1)];
    accounts[std::size_t(count - 1)] = MailAccount{};
    rebuildMailAccountsList(settings, accounts, count - 1);
}

void nameNamelessAccounts(const MailSettings &settings, MailAccounts &accounts)
{
    const QStringList names = mailAccountNames(settings);
    const QString prefix = mailAccountSubKey(QString());
    for (int n = 0; n < names.size(); ++n) {
        MailAccount &a = accounts[std::size_t(n)];
        if (!a.AcctName.isEmpty() || names.at(n).isEmpty())
            continue;
        a.AcctName = names.at(n).startsWith(prefix) && names.at(n).size() > prefix.size()
                         ? names.at(n).mid(prefix.size())
                         : names.at(n);
    }
}

void removeDroppedAccountSections(SettingsStore &store, const QStringList &before,
                                  const MailSettings &settings, SecretStore *secrets)
{
    const QStringList now = mailAccountNames(settings);
    for (const QString &name : before) {
        if (name.isEmpty() || now.contains(name))
            continue;
        store.remove(kMailAccountSectionPrefix + name);
        if (secrets)
            secrets->remove(mailPasswordKey(name));
    }
}

} // namespace kvorn
