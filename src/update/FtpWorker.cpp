// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/FtpWorker.h"

#include "platform/CurlFtpClient.h"

#include <QDir>

namespace kvorn {

namespace {
// The server's answer when it has no such file (or may not show it).
bool isNotFoundReply(const QString &reply)
{
    return reply.startsWith(QLatin1String("550")) || reply.startsWith(QLatin1String("450"));
}
} // namespace

FtpWorker::FtpWorker(std::unique_ptr<FtpClient> client, QObject *parent)
    : QObject(parent), m_client(std::move(client))
{
}

FtpWorker::~FtpWorker() = default;

bool FtpWorker::lastWasMissing() const
{
    // 12003 carries the server's own reply; anything else (a time-out, a dropped
    // connection) is a failure of the session, not an answer about the file.
    return m_client->lastError() == 12003 && isNotFoundReply(m_client->lastResponse());
}

void FtpWorker::noteFailure(FtpJobResult &result) const
{
    result.ok = false;
    result.error = m_client->lastError();
    result.response = m_client->lastResponse();
    if (auto *curl = dynamic_cast<CurlFtpClient *>(m_client.get()))
        result.message = curl->lastErrorMessage();
}

void FtpWorker::noteFailedFile(FtpJobResult &result, const QString &name) const
{
    noteFailure(result);
    result.failures.append({name, result.error, result.response, result.message});
}

void FtpWorker::open(const FtpEndpoint &endpoint, const UpdateServerSettings &server)
{
    FtpJobResult result;
    const bool opened = m_client->open(endpoint, [this](const FtpStatusEvent &event) {
        Q_EMIT statusEvent(event);
    });
    if (!opened || !enterUpdateFolder(*m_client, server))
        noteFailure(result);
    Q_EMIT jobDone(result);
}

void FtpWorker::probe(const QStringList &names)
{
    FtpJobResult result;
    for (const QString &name : names) {
        if (m_client->fileSize(name))
            result.present.append(name);
        else if (lastWasMissing())
            result.missing.append(name);
        else
            noteFailure(result);
    }
    Q_EMIT jobDone(result);
}

void FtpWorker::fetch(const QList<FetchItem> &items, const QString &localFolder)
{
    FtpJobResult result;
    for (const FetchItem &item : items) {
        const QString &name = item.name;
        const QString remote = m_client->currentDir() + name;
        const std::optional<qint64> size = m_client->fileSize(remote);
        if (!size) {
            if (lastWasMissing()) {
                result.missing.append(name);
            } else {
                noteFailedFile(result, name);
            }
            continue;
        }
        if (item.maxBytes >= 0 && *size > item.maxBytes) {
            result.ok = false;
            result.error = kFtpFileTooLarge;
            result.response.clear();
            result.message.clear();
            result.failures.append({name, kFtpFileTooLarge, {}, {}});
            continue;
        }
        const QString local = QDir(localFolder).filePath(name);
        Q_EMIT fileStarting(name, remote, local, *size);
        const bool ok = m_client->download(remote, local, item.maxBytes);
        if (ok) {
            result.present.append(name);
        } else {
            noteFailedFile(result, name);
        }
        Q_EMIT fileDone(name, ok);
    }
    Q_EMIT jobDone(result);
}

void FtpWorker::upload(const QString &localPath, const QString &remoteFolder,
                       const QString &remoteName)
{
    FtpJobResult result;
    if (!m_client->upload(localPath, remoteFolder + QLatin1Char('/') + remoteName))
        noteFailure(result);
    Q_EMIT jobDone(result);
}

void FtpWorker::close()
{
    m_client->close();
}

} // namespace kvorn
