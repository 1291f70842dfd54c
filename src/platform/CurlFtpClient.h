// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FtpClient.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <atomic>
#include <memory>
#include <mutex>
#include <set>

namespace kvorn {

/// FTP over libcurl. One easy handle lives from open() to close(), so the control
/// connection is kept for the whole session; transfers are passive and binary.
///
/// - The proxy is used only when the endpoint says so (as an HTTP CONNECT tunnel, or
///   whatever scheme its address names); otherwise no proxy at all, whatever the
///   environment's ftp_proxy/all_proxy say.
/// - Explicit TLS is required, never tried: a server without AUTH TLS ends the log-on
///   before the user name is sent. The server's certificate and name are checked.
/// - Every wait on the server is bounded by the endpoint's time-out.
/// - After abort() every call fails at once until the next open().
class CurlFtpClient final : public FtpClient
{
public:
    CurlFtpClient();
    ~CurlFtpClient() override;
    CurlFtpClient(const CurlFtpClient &) = delete;
    CurlFtpClient &operator=(const CurlFtpClient &) = delete;

    bool open(const FtpEndpoint &endpoint, StatusCallback onStatus) override;
    void close() override;
    bool isOpen() const override;
    QString currentDir() override;
    /// Checked with the server (a CWD): false, and the folder unchanged, when it refuses.
    bool changeDir(const QString &name) override;
    /// -1 when the file exists but the server does not tell its size. A missing file gives
    /// nothing with lastError() 12003 and the server's "550 …" in lastResponse().
    std::optional<qint64> fileSize(const QString &remotePath) override;
    /// Reports the file's bytes as response-received events and ends a whole fetch with
    /// a handle-closing event; a failed fetch ends without one.
    bool download(const QString &remotePath, const QString &localPath,
                  qint64 maxBytes = -1) override;
    /// Never creates folders: an upload into a missing folder fails with the server's reply.
    bool upload(const QString &localPath, const QString &remotePath) override;
    void abort() override;
    int lastError() const override;
    QString lastResponse() const override;

    /// libcurl's own words for the last failure (for a "Message:" text), empty after a
    /// success.
    QString lastErrorMessage() const;

    /// Maps a libcurl result to the internet-service code the error texts are keyed by.
    /// `lastCommand` is the last command sent ("USER", "PASS" …), `proxyCode` the proxy's
    /// HTTP answer to CONNECT (0 when none) and `aborted` whether abort() ended the call.
    static int internetErrorCode(int curlCode, const QByteArray &lastCommand, long proxyCode,
                                 bool aborted);

private:
    struct Callbacks;
    friend struct Callbacks;

    enum class Call
    {
        Probe,
        Download,
        Upload
    };

    bool perform(Call call, const QByteArray &url);
    bool fail(int code, const QString &message);
    bool begin();
    QByteArray baseUrl() const;
    QByteArray folderUrl(const QStringList &folders) const;
    QByteArray fileUrl(const QString &remotePath) const;
    void emitStatus(FtpStatusEvent::Kind kind, const QString &info = {}, quint64 number = 0);
    void shutdownSockets();

    void *m_curl = nullptr; // CURL *, kept out of the header
    FtpEndpoint m_endpoint;
    StatusCallback m_onStatus;
    QStringList m_folders; // below the log-on folder; may start with ".." entries
    QString m_entryPath;   // the log-on folder as the server named it
    int m_lastError = 0;
    QString m_lastErrorMessage;
    QString m_lastResponse;
    QByteArray m_lastCommand;
    QByteArray m_errorBuffer;
    bool m_downloading = false;

    std::atomic<bool> m_abort{false};
    // The sockets libcurl opened through us, so abort() can wake a blocked wait.
    std::mutex m_socketsMutex;
    std::set<int> m_sockets;
    // Sockets opened for the control connection (more than one while addresses race).
    std::set<int> m_controlSockets;
    bool m_controlConnected = false;
};

} // namespace kvorn
