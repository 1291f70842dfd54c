// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace kvorn {

class SettingsStore;
class SecretStore;
class Prompt;

/// The section of the mail options and of the accounts list.
inline const QString kMailSettingsSection = QStringLiteral("Options\\MailSettings");
/// The accounts' sections are this prefix followed by the account's sub-key name.
inline const QString kMailAccountSectionPrefix =
    QStringLiteral("Options\\MailSettings\\Accounts\\");

/// How an account's connection is secured; the numbers are the stored "AcctTLS" values.
enum class MailTls : int
{
    None = 0,     ///< plain text throughout
    Stls = 1,     ///< plain connect, then "STLS" before the log-on
    Implicit = 2, ///< TLS from the first byte (POP3S)
};

/// The POP3S port: an account naming it without "AcctTLS" is read as implicit TLS.
inline constexpr quint16 kPop3sPort = 995;

/// One POP3 account.
struct MailAccount
{
    QString MailName; ///< the e-mail address; names the account in the mail list
    QString AcctName; ///< nickname
    QString AcctUser;
    QString AcctSMTP;
    QString AcctPOP3; ///< "host" or "host:port" (110, or 995 with implicit TLS, when not given)
    QString AcctPass; ///< plain in memory, encoded in the store
    bool AcctDefault = false;
    bool AcctSecure = false; ///< lives in memory only
    /// Stored as "AcctTLS" after the older keys; an older file without it reads as
    /// `None`, or as `Implicit` when "AcctPOP3" names port 995.
    MailTls AcctTLS = MailTls::None;
    /// In memory only: the password is kept in the keyring, which did not answer when the
    /// accounts were read. A save then leaves the keyring's copy alone rather than
    /// overwrite it with the empty text.
    bool AcctPassUnread = false;
};

/// The account table: entry n belongs to the n-th name of the accounts list.
inline constexpr int kMaxMailAccounts = 101;
using MailAccounts = std::array<MailAccount, kMaxMailAccounts>;

/// The mail options of section "Options\MailSettings", one field per key.
struct MailSettings
{
    QString Accounts;
    QString ColumnOrder = QStringLiteral("1`2`3`4`5`6`7`8`9`10`11");
    QString ColumnUse = QStringLiteral("1`2'3'4'5'6'7'8'9'10'11");
    std::int16_t DetectStrength = 1; ///< stored under "DetectStrength " (trailing blank)
    bool LaunchEmail = true;
    bool SoundNewMail = true;
    bool DefaultOnStart = false;
    bool TimerOn = false;
    std::int16_t TimerCount = 10;
    bool Forward = false;
    QString ForwardAccount;
    bool AutoDelete = false;
    bool AutoBounce = false;
    bool BounceBlacklist = true;
    bool ExpireBlackList = true;
    std::int16_t ExpireBLCount = 200;
    bool ExpireFriends = false;
    std::int16_t ExpireFriendCount = 200;
    bool HideFriend = false;
    QString Filters;
    std::int32_t ServerTO = 20000; ///< milliseconds
    std::int16_t LogDate = 0;      ///< month of the mail month count (the current month by default)
    std::int32_t LogMonth = 0;
    std::int32_t LogYear = 0;
    std::int32_t LogForever = 0;
    /// Name servers for the sender-domain test, "host:port" entries parted by commas;
    /// empty means the system's.
    QString DnsServers;
    std::int16_t LogDateYear = 0; ///< the year of LogDate; 0 in files written before it was kept
};

/// Reads every mail option, with the defaults for absent values. A value that does not
/// convert is reported with the program's error box and takes its default; the later
/// values load as usual.
void LoadMailSettings(const SettingsStore &store, MailSettings &settings, Prompt &prompt,
                      const QDate &today);
/// The accounts list split at "~" (empty when there is none), at most the table's size.
QStringList mailAccountNames(const MailSettings &settings);
/// The key of an account's password in the keyring.
QString mailPasswordKey(const QString &accountName);

/// Where a save puts the account passwords: into `secrets` (the desktop's keyring) when it
/// is given and takes them, "AcctPass" then staying empty; otherwise encoded into
/// "AcctPass" as always, and `storedUnprotected` is set so the user can be told.
struct MailPasswordStore
{
    SecretStore *secrets = nullptr;
    bool storedUnprotected = false;
};

/// Fills the account table from the accounts' sections. A password stored in the file is
/// decoded from there (older files, or no keyring at the last save); an empty one is asked
/// of `secrets` when given.
void LoadMailAccounts(const SettingsStore &store, const MailSettings &settings,
                      MailAccounts &accounts, SecretStore *secrets = nullptr);
/// Writes the accounts and the mail options and saves the store. Returns an error text,
/// empty on success (the old file then stays whole).
QString SaveMailSettings(SettingsStore &store, const MailSettings &settings,
                         const MailAccounts &accounts, MailPasswordStore *passwords = nullptr);

/// The stored form of a password: two upper-case hex digits per byte of its UTF-8 form,
/// each byte plus 7 (modulo 256). For plain ASCII this is exactly the historic form.
QString EncodeAcctPass(const QString &plain);
/// The password of a stored form; historic forms made from 8-bit Windows text read back
/// as Windows-1252.
QString DecodeAcctPass(const QString &encoded);

/// The host and port of an "AcctPOP3" value: "host", "host:port", "[v6]:port" or a bare
/// IPv6 address; the port is 110 when not given or not a valid number.
struct HostPort
{
    QString host;
    quint16 port = 110;
};
HostPort splitHostPort(const QString &server, quint16 defaultPort = 110);
/// Where an account's server listens: its "AcctPOP3", by default on 995 for implicit TLS
/// and on 110 otherwise.
HostPort accountHostPort(const MailAccount &account);

} // namespace kvorn
