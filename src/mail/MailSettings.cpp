// SPDX-License-Identifier: GPL-3.0-or-later
#include "mail/MailSettings.h"

#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/SettingsTable.h"
#include "core/StoredValue.h"
#include "core/TextFile.h"
#include "platform/SecretStore.h"
#include "platform/TextCodec.h"


namespace kvorn {

namespace {

// The order in which the options are written.
const SettingsKey<MailSettings> kKeys[] = {
    {"Accounts", &MailSettings::Accounts},
    {"ColumnOrder", &MailSettings::ColumnOrder},
    {"ColumnUse", &MailSettings::ColumnUse},
    {"DetectStrength ", &MailSettings::DetectStrength},
    {"LaunchEmail", &MailSettings::LaunchEmail},
    {"SoundNewMail", &MailSettings::SoundNewMail},
    {"DefaultOnStart", &MailSettings::DefaultOnStart},
    {"TimerCount", &MailSettings::TimerCount},
    {"TimerOn", &MailSettings::TimerOn},
    {"Forward", &MailSettings::Forward},
    {"ForwardAccount", &MailSettings::ForwardAccount},
    {"AutoDelete", &MailSettings::AutoDelete},
    {"AutoBounce", &MailSettings::AutoBounce},
    {"BounceBlacklist", &MailSettings::BounceBlacklist},
    {"ExpireBlackList", &MailSettings::ExpireBlackList},
    {"ExpireBLCount", &MailSettings::ExpireBLCount},
    {"ExpireFriends", &MailSettings::ExpireFriends},
    {"ExpireFriendCount", &MailSettings::ExpireFriendCount},
    {"HideFriend", &MailSettings::HideFriend},
    {"Filters", &MailSettings::Filters},
    {"ServerTO", &MailSettings::ServerTO},
    {"LogDate", &MailSettings::LogDate},
    {"LogMonth", &MailSettings::LogMonth},
    {"LogYear", &MailSettings::LogYear},
    {"LogForever", &MailSettings::LogForever},
    {"DnsServers", &MailSettings::DnsServers},
    {"LogDateYear", &MailSettings::LogDateYear},
};

MailTls tlsOf(const QString &stored, const QString &server)
{
    const QString s = stored.trimmed();
    if (s.isEmpty()) {
        // Files written before the key existed: a POP3S port can only have meant TLS.
        return splitHostPort(server).port == kPop3sPort ? MailTls::Implicit : MailTls::None;
    }
    bool ok = false;
    const int v = s.toInt(&ok);
    if (ok && v == static_cast<int>(MailTls::Stls))
        return MailTls::Stls;
    if (ok && v == static_cast<int>(MailTls::Implicit))
        return MailTls::Implicit;
    // A value a later version may add is never read as "no security": take the strongest
    // form known here rather than send the password in clear.
    if (!ok || v != static_cast<int>(MailTls::None))
        return MailTls::Implicit;
    return MailTls::None;
}

// What "AcctPass" holds after a save: empty when the keyring took the password (or holds
// it and could not be asked), else the encoded password.
QString storedPassword(const MailAccount &a, const QString &name, MailPasswordStore *passwords)
{
    SecretStore *secrets = passwords ? passwords->secrets : nullptr;
    if (secrets) {
        if (a.AcctPassUnread && a.AcctPass.isEmpty())
            return {};
        if (secrets->write(mailPasswordKey(name), a.AcctPass) == SecretStore::Result::Ok)
            return {};
    }
    if (passwords && !a.AcctPass.isEmpty())
        passwords->storedUnprotected = true;
    return EncodeAcctPass(a.AcctPass);
}

} // namespace

void LoadMailSettings(const SettingsStore &store, MailSettings &settings, Prompt &prompt,
                      const QDate &today)
{
    MailSettings defaults;
    defaults.LogDate = static_cast<std::int16_t>(today.isValid() ? today.month() : 1);
    readSettingsTable<MailSettings>(store, kMailSettingsSection, kKeys, settings, defaults, prompt,
                                    QStringLiteral("LoadMailSettings"));
}

QStringList mailAccountNames(const MailSettings &settings)
{
    if (settings.Accounts.isEmpty())
        return {};
    QStringList names = settings.Accounts.split(QLatin1Char('~'));
    // The table has a fixed size; names beyond it are left alone rather than overwrite it.
    if (names.size() > kMaxMailAccounts)
        names.resize(kMaxMailAccounts);
    return names;
}

QString mailPasswordKey(const QString &accountName)
{
    return QStringLiteral("mail account ") + accountName;
}

void LoadMailAccounts(const SettingsStore &store, const MailSettings &settings,
                      MailAccounts &accounts, SecretStore *secrets)
{
    const QStringList names = mailAccountNames(settings);
    for (int n = 0; n < names.size(); ++n) {
        MailAccount &a = accounts[std::size_t(n)];
        const QString section = kMailAccountSectionPrefix + names.at(n);
        const auto text = [&](const char *key) {
            return store.read(section, QString::fromLatin1(key), QString());
        };
        a.MailName = text("MailName");
        a.AcctName = text("AcctName");
        a.AcctUser = text("AcctUser");
        a.AcctSMTP = text("AcctSMTP");
        a.AcctPOP3 = text("AcctPOP3");
        a.AcctPass = DecodeAcctPass(text("AcctPass"));
        a.AcctPassUnread = false;
        if (a.AcctPass.isEmpty() && secrets) {
            QString kept;
            const SecretStore::Result r = secrets->read(mailPasswordKey(names.at(n)), &kept);
            if (r == SecretStore::Result::Ok)
                a.AcctPass = kept;
            a.AcctPassUnread = r == SecretStore::Result::Unavailable;
        }
        a.AcctDefault = stored::toBool(store.read(section, QStringLiteral("AcctDefault"),
                                                  QStringLiteral("True")))
                            .value_or(true);
        a.AcctTLS = tlsOf(store.read(section, QStringLiteral("AcctTLS"), QString()), a.AcctPOP3);
    }
}

QString SaveMailSettings(SettingsStore &store, const MailSettings &settings,
                         const MailAccounts &accounts, MailPasswordStore *passwords)
{
    const QStringList names = mailAccountNames(settings);
    for (int n = 0; n < names.size(); ++n) {
        if (names.at(n).isEmpty())
            continue; // would write into the accounts' parent section
        const MailAccount &a = accounts[std::size_t(n)];
        const QString section = kMailAccountSectionPrefix + names.at(n);
        store.write(section, QStringLiteral("MailName"), a.MailName);
        store.write(section, QStringLiteral("AcctName"), a.AcctName);
        store.write(section, QStringLiteral("AcctUser"), a.AcctUser);
        store.write(section, QStringLiteral("AcctSMTP"), a.AcctSMTP);
        store.write(section, QStringLiteral("AcctPOP3"), a.AcctPOP3);
        store.write(section, QStringLiteral("AcctPass"), storedPassword(a, names.at(n), passwords));
        store.write(section, QStringLiteral("AcctDefault"), stored::fromBool(a.AcctDefault));
        store.write(section, QStringLiteral("AcctTLS"),
                    QString::number(static_cast<int>(a.AcctTLS)));
    }
    writeSettingsTable<MailSettings>(store, kMailSettingsSection, kKeys, settings);
    if (!store.save())
        return QStringLiteral("The mail settings could not be written to %1.")
            .arg(store.filePath());
    return {};
}

QString EncodeAcctPass(const QString &plain)
{
    static const char kHex[] = "0123456789ABCDEF";
    const QByteArray bytes = plain.toUtf8();
    QString out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        // Modulo 256 and always two digits: the historic form dropped a digit for codes
        // below 9 and wrapped codes above 248 into three.
        const int v = (static_cast<unsigned char>(c) + 7) & 0xFF;
        out.append(QLatin1Char(kHex[v >> 4]));
        out.append(QLatin1Char(kHex[v & 0xF]));
    }
    return out;
}

QString DecodeAcctPass(const QString &encoded)
{
    QByteArray bytes;
    bytes.reserve(encoded.size() / 2);
    for (qsizetype i = 0; i + 1 < encoded.size(); i += 2) {
        const int hi = hexDigitValue(encoded.at(i).unicode());
        const int lo = hexDigitValue(encoded.at(i + 1).unicode());
        if (hi < 0 || lo < 0)
            continue;
        bytes.append(static_cast<char>(((hi << 4 | lo) - 7) & 0xFF));
    }
    // UTF-8 when it is valid, else the Windows text of the historic form.
    return decodeLine(bytes);
}

HostPort splitHostPort(const QString &server, quint16 defaultPort)
{
    HostPort hp;
    hp.port = defaultPort;
    const QString s = server.trimmed();
    const auto portOf = [&](QStringView text) {
        bool ok = false;
        const uint p = text.toUInt(&ok);
        return ok && p > 0 && p <= 65535 ? std::optional<quint16>(quint16(p)) : std::nullopt;
    };
    if (s.startsWith(QLatin1Char('['))) {
        const qsizetype close = s.indexOf(QLatin1Char(']'));
        if (close > 0) {
            hp.host = s.mid(1, close - 1);
            const QStringView rest = QStringView(s).mid(close + 1);
            if (rest.startsWith(QLatin1Char(':'))) {
                if (const auto p = portOf(rest.mid(1)))
                    hp.port = *p;
            }
            return hp;
        }
    }
    const qsizetype colon = s.indexOf(QLatin1Char(':'));
    if (colon > 0 && s.indexOf(QLatin1Char(':'), colon + 1) < 0) {
        hp.host = s.left(colon);
        if (const auto p = portOf(QStringView(s).mid(colon + 1)))
            hp.port = *p;
        return hp;
    }
    hp.host = s;
    return hp;
}

HostPort accountHostPort(const MailAccount &account)
{
    return splitHostPort(account.AcctPOP3,
                         account.AcctTLS == MailTls::Implicit ? kPop3sPort : quint16(110));
}

} // namespace kvorn
