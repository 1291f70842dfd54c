// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FtpClient.h"

#include <QString>
#include <QStringList>

namespace kvorn {

class SettingsStore;

/// The section of the update server's settings.
inline const QString kUpdateSection = QStringLiteral("Update");
/// The section of the proxy settings.
inline const QString kProxySection = QStringLiteral("Proxy");

/// The FTP ports a server listens on when its settings name none.
inline constexpr quint16 kFtpPort = 21;
inline constexpr quint16 kFtpsPort = 990;

/// Where the online update fetches from. There is no server unless the user names one;
/// without a host updating is off.
///
/// Stored in section "Update": "Host", "Port", "User", "Password" (encoded like the mail
/// passwords), "Folder", "Security" (0 plain FTP, 1 explicit TLS, 2 implicit TLS),
/// "PlainHost" (the host plain FTP was chosen for), "CAFile" and "Timeout" (seconds).
struct UpdateServerSettings
{
    QString Host;
    quint16 Port = kFtpPort;
    QString User = QStringLiteral("anonymous");
    QString Password;
    /// The folder below the log-on folder that holds the update files ("" for the log-on
    /// folder itself; parts separated by "/").
    QString Folder;
    /// Plain FTP holds only for the host it was chosen for: another host (also one typed
    /// into the file by hand) gets explicit TLS, so the password never goes out in clear
    /// to a server the user did not choose that for.
    FtpSecurity Security = FtpSecurity::ExplicitTls;
    /// Certificate authorities to trust besides none ("" for the system's).
    QString CAFile;
    /// The longest wait on the server, in seconds.
    int Timeout = 30;
};

/// The proxy of section "Proxy": "Use" (0 or 1), "Address", "Port", kept as typed.
struct ProxySettings
{
    bool Use = false;
    QString Address;
    QString Port;
};

/// Reads section "Update", with the defaults for absent or unreadable values.
UpdateServerSettings LoadUpdateServerSettings(const SettingsStore &store);
/// Writes section "Update" (the store is saved by the caller).
void SaveUpdateServerSettings(SettingsStore &store, const UpdateServerSettings &settings);

/// Reads section "Proxy": the box is ticked only by a stored 1.
ProxySettings LoadProxySettings(const SettingsStore &store);
/// Writes "Use", "Address" and "Port", in that order (the store is saved by the caller).
void SaveProxySettings(SettingsStore &store, const ProxySettings &settings);

/// Whether an update server is set; updating is off without one.
bool updateServerConfigured(const UpdateServerSettings &settings);

/// How to log on to the update server, through the proxy when it is to be used.
FtpEndpoint updateEndpoint(const UpdateServerSettings &server, const ProxySettings &proxy);

/// The folder's parts, for changing into them one by one after the log-on.
QStringList updateFolderParts(const UpdateServerSettings &settings);

/// Changes the session's folder into the update folder; false when a part is refused.
bool enterUpdateFolder(FtpClient &ftp, const UpdateServerSettings &settings);

} // namespace kvorn
