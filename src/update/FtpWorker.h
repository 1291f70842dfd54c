// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FtpClient.h"
#include "update/UpdateServerSettings.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

namespace kvorn {

/// What one network job of the update session came to.
struct FtpJobResult
{
    /// Every call of the job went through (a file the server does not have aside).
    bool ok = true;
    /// Probes: the names the server has. Fetches: the names fetched whole.
    QStringList present;
    /// The names the server does not have.
    QStringList missing;
    /// Fetches: each file whose transfer failed, with its own failure (error
    /// kFtpFileTooLarge: given up for being larger than its limit).
    struct Failure
    {
        QString name;
        int error = 0;
        QString response;
        QString message;
    };
    QList<Failure> failures;
    /// The last failure: the internet-service code, the server's reply, the library's words.
    int error = 0;
    QString response;
    QString message;
};

/// A file to fetch and the most bytes it may have (-1: no limit).
struct FetchItem
{
    QString name;
    qint64 maxBytes = -1;
};

/// The update session's network calls. It lives on a worker thread and owns the FTP
/// client there, so the window never waits on the server; every call is started by a
/// queued call from the window's thread and answers with queued signals.
class FtpWorker : public QObject
{
    Q_OBJECT

public:
    explicit FtpWorker(std::unique_ptr<FtpClient> client, QObject *parent = nullptr);
    ~FtpWorker() override;

    /// The client, for `abort()` from another thread (the only call allowed from there).
    FtpClient &client() { return *m_client; }

    // Run on the worker thread.
    /// Logs on and changes into the update folder.
    void open(const kvorn::FtpEndpoint &endpoint, const kvorn::UpdateServerSettings &server);
    /// Which of the names the server has.
    void probe(const QStringList &names);
    /// Fetches the files into the folder, one by one; a name the server lacks is skipped,
    /// and so is a file the server says is larger than its limit.
    void fetch(const QList<kvorn::FetchItem> &items, const QString &localFolder);
    /// Sends a file into a child folder of the update folder under the remote name.
    void upload(const QString &localPath, const QString &remoteFolder, const QString &remoteName);
    void close();

Q_SIGNALS:
    void statusEvent(const kvorn::FtpStatusEvent &event);
    /// A fetch begins: its remote and local path and the size the server gave.
    void fileStarting(const QString &name, const QString &remotePath, const QString &localPath,
                      qint64 size);
    void fileDone(const QString &name, bool ok);
    void jobDone(const kvorn::FtpJobResult &result);

private:
    /// Whether the last call failed only because the server does not have the file.
    bool lastWasMissing() const;
    void noteFailure(FtpJobResult &result) const;
    void noteFailedFile(FtpJobResult &result, const QString &name) const;

    std::unique_ptr<FtpClient> m_client;
};

} // namespace kvorn

Q_DECLARE_METATYPE(kvorn::FtpJobResult)
Q_DECLARE_METATYPE(kvorn::FtpStatusEvent)
