// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

namespace kvorn {

/// lastError() of a fetch given up because the file is larger than the caller allows.
inline constexpr int kFtpFileTooLarge = -2;

/// How the connection to an FTP server is protected.
enum class FtpSecurity
{
    /// Plain FTP: the password travels in clear, so only when the user chose it.
    Plain,
    /// AUTH TLS on the normal port, required for the control and the data connection.
    ExplicitTls,
    /// TLS from the first byte (FTPS, normally port 990).
    ImplicitTls,
};

/// An HTTP proxy that FTP goes through as a CONNECT tunnel.
struct FtpProxy
{
    bool use = false;
    QString address;
    QString port;
};

/// Where and how to log on.
struct FtpEndpoint
{
    QString host;
    quint16 port = 21;
    QString user;
    QString password;
    FtpSecurity security = FtpSecurity::ExplicitTls;
    FtpProxy proxy;
    /// Certificate authorities to trust; empty means the system's.
    QString caFile;
    /// No call waits longer than this for the server: a silent server must not hang us.
    int timeoutSeconds = 30;
};

/// One status event of a transfer. The kinds keep the numbers the update dialog's texts
/// were written for, so the texts can be looked up by them.
struct FtpStatusEvent
{
    enum class Kind {
        ResolvingName = 10,
        NameResolved = 11,
        ConnectingToServer = 20,
        ConnectedToServer = 21,
        SendingRequest = 30,
        RequestSent = 31,
        ResponseReceived = 41,
        ClosingConnection = 50,
        ConnectionClosed = 51,
        HandleCreated = 60,
        HandleClosing = 70,
        DetectingProxy = 80,
        Redirect = 110,
        StateChange = 200,
    };
    Kind kind = Kind::StateChange;
    /// The text the event carries (a host name, an address), empty when none.
    QString info;
    /// The number the event carries (bytes, a state value), 0 when none.
    quint64 number = 0;
};

/// A blocking FTP client for one update session. Every call but abort() runs on the
/// thread that owns the client (a worker thread, so the window never waits on the
/// network); the status callback is called on that thread during the calls.
class FtpClient
{
public:
    using StatusCallback = std::function<void(const FtpStatusEvent &)>;

    virtual ~FtpClient() = default;

    /// Logs on; false with lastError() set when that fails.
    virtual bool open(const FtpEndpoint &endpoint, StatusCallback onStatus) = 0;
    /// Ends the session; harmless when none is open.
    virtual void close() = 0;
    /// Whether a session is open.
    virtual bool isOpen() const = 0;
    /// The server's current folder, always ending in "/"; empty when it cannot be read.
    virtual QString currentDir() = 0;
    /// Changes the server's current folder to a child folder or "..".
    virtual bool changeDir(const QString &name) = 0;
    /// The size of a remote file; nothing when there is no such file.
    virtual std::optional<qint64> fileSize(const QString &remotePath) = 0;
    /// Fetches a file byte for byte. The bytes go to a temporary file that replaces
    /// `localPath` only on success, so a failed fetch leaves the old file whole. With
    /// `maxBytes` of 0 or more, a file that grows past it is given up as it arrives
    /// (lastError() kFtpFileTooLarge), whatever size the server announced.
    virtual bool download(const QString &remotePath, const QString &localPath,
                          qint64 maxBytes = -1) = 0;
    /// Sends a file, replacing the remote one.
    virtual bool upload(const QString &localPath, const QString &remotePath) = 0;
    /// Makes the running call return failure soon; callable from any thread.
    virtual void abort() = 0;
    /// The last failure as an internet-service error code (12002 time-out, 12014 wrong
    /// password, 12003 the server's own reply …), 0 when the last call succeeded.
    virtual int lastError() const = 0;
    /// The server's last reply line.
    virtual QString lastResponse() const = 0;
};

} // namespace kvorn
