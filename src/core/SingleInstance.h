// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace kvorn {

/// Makes the program a single instance per user and configuration, and carries the
/// requests of a second start ("show", "end") to the running one.
///
/// Which start is the running one is decided under a lock file, so that of several
/// simultaneous starts exactly one runs. The lock and the socket live in the user's
/// runtime folder (mode 0700), where no other user should be able to take the name first;
/// still, requests are taken only from processes of the same user, and handed only to one.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    /// `key` tells configurations apart (the config folder), so test runs never meet.
    /// `runtimeFolder` is where the lock and the socket live; empty: the user's runtime
    /// folder ($XDG_RUNTIME_DIR, else a private folder Qt makes).
    explicit SingleInstance(const QString &key, const QString &runtimeFolder = {},
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Role {
        First,  ///< this start holds the lock and listens: it is the running instance
        Second, ///< another instance runs and took the request
        Failed, ///< neither: no lock and nobody answered in time
    };

    /// Becomes the running instance, or hands `request` to the one that runs. Waits up to
    /// `waitMs` for an instance that is still starting (it holds the lock but does not
    /// listen yet), or that is ending (it no longer listens but still holds the lock).
    Role claimOrSend(const QByteArray &request, int waitMs = 5000);
    /// True when this start holds the lock.
    bool isFirst() const;
    /// Sends a request to the running instance; false when none answered, or when what
    /// answered runs as another user (it is then told nothing).
    bool sendToRunning(const QByteArray &request);
    QString serverName() const { return m_name; }
    /// Why the lock or the socket could not be had, for the debug output.
    QString lastError() const { return m_error; }

Q_SIGNALS:
    /// A second start sent a request.
    void requestReceived(const QByteArray &request);

private:
    bool listen();
    void takeRequests(QLocalSocket *socket);

    QString m_name;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    /// The last request found another user's process listening under the name.
    bool m_foreignServer = false;
};

} // namespace kvorn
