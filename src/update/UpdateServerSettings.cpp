// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/UpdateServerSettings.h"

#include "core/SettingsStore.h"
#include "mail/MailSettings.h"

namespace kvorn {

namespace {

QString text(const SettingsStore &store, const QString &section, const char *key,
             const QString &fallback = {})
{
    return store.read(section, QString::fromLatin1(key), fallback);
}

FtpSecurity securityOf(const QString &stored)
{
    bool ok = false;
    const int v = stored.trimmed().toInt(&ok);
    if (ok && v == int(FtpSecurity::Plain))
        return FtpSecurity::Plain;
    if (ok && v == int(FtpSecurity::ImplicitTls))
        return FtpSecurity::ImplicitTls;
    // Anything else, a value of a later version among them, is never read as plain.
    return FtpSecurity::ExplicitTls;
}

bool sameHost(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

UpdateServerSettings LoadUpdateServerSettings(const SettingsStore &store)
{
    UpdateServerSettings s;
    s.Host = text(store, kUpdateSection, "Host").trimmed();
    s.User = text(store, kUpdateSection, "User", s.User);
    s.Password = DecodeAcctPass(text(store, kUpdateSection, "Password"));
    s.Folder = text(store, kUpdateSection, "Folder");
    s.Security = securityOf(text(store, kUpdateSection, "Security", QStringLiteral("1")));
    if (s.Security == FtpSecurity::Plain &&
        !sameHost(text(store, kUpdateSection, "PlainHost"), s.Host))
        s.Security = FtpSecurity::ExplicitTls;
    bool ok = false;
    const uint port = text(store, kUpdateSection, "Port").trimmed().toUInt(&ok);
    s.Port = ok && port >= 1 && port <= 65535
                 ? quint16(port)
                 : (s.Security == FtpSecurity::ImplicitTls ? kFtpsPort : kFtpPort);
    s.CAFile = text(store, kUpdateSection, "CAFile");
    const int timeout = text(store, kUpdateSection, "Timeout").trimmed().toInt(&ok);
    if (ok && timeout >= 1 && timeout <= 3600)
        s.Timeout = timeout;
    return s;
}

void SaveUpdateServerSettings(SettingsStore &store, const UpdateServerSettings &s)
{
    const auto write = [&](const char *key, const QString &value) {
        store.write(kUpdateSection, QString::fromLatin1(key), value);
    };
    write("Host", s.Host.trimmed());
    write("Port", QString::number(s.Port));
    write("User", s.User);
    write("Password", EncodeAcctPass(s.Password));
    write("Folder", s.Folder);
    write("Security", QString::number(int(s.Security)));
    write("PlainHost", s.Security == FtpSecurity::Plain ? s.Host.trimmed() : QString());
    write("CAFile", s.CAFile);
    write("Timeout", QString::number(s.Timeout));
}

ProxySettings LoadProxySettings(const SettingsStore &store)
{
    ProxySettings p;
    bool ok = false;
    p.Use = text(store, kProxySection, "Use", QStringLiteral("0")).trimmed().toInt(&ok) == 1 && ok;
    p.Address = text(store, kProxySection, "Address");
    p.Port = text(store, kProxySection, "Port");
    return p;
}

void SaveProxySettings(SettingsStore &store, const ProxySettings &p)
{
    store.write(kProxySection, QStringLiteral("Use"), p.Use ? QStringLiteral("1")
                                                             : QStringLiteral("0"));
    store.write(kProxySection, QStringLiteral("Address"), p.Address);
    store.write(kProxySection, QStringLiteral("Port"), p.Port);
}

bool updateServerConfigured(const UpdateServerSettings &settings)
{
    return !settings.Host.trimmed().isEmpty();
}

FtpEndpoint updateEndpoint(const UpdateServerSettings &server, const ProxySettings &proxy)
{
    FtpEndpoint e;
    e.host = server.Host.trimmed();
    e.port = server.Port;
    e.user = server.User;
    e.password = server.Password;
    e.security = server.Security;
    e.proxy = FtpProxy{proxy.Use, proxy.Address, proxy.Port};
    e.caFile = server.CAFile;
    e.timeoutSeconds = server.Timeout;
    return e;
}

QStringList updateFolderParts(const UpdateServerSettings &settings)
{
    return settings.Folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

bool enterUpdateFolder(FtpClient &ftp, const UpdateServerSettings &settings)
{
    for (const QString &part : updateFolderParts(settings))
        if (!ftp.changeDir(part))
            return false;
    return true;
}

} // namespace kvorn
