#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QLocalServer;

namespace kvorn {

/// Makes the program a single instance per user and configuration, and carries the
/// requests of a second start ("show", "end") to the running one.
class SingleInstance : public QObject
{
    Q_OBJECT

public:
    /// `key` tells configurations apart (the config folder), so test runs never meet.
    explicit SingleInstance(const QString &key, QObject *parent = nullptr);
    ~SingleInstance() override;

    /// True when another instance answers.
    bool otherInstanceRunning() const;
    /// Sends a request to the running instance; false when none answered.
    bool sendToRunning(const QByteArray &request) const;
    /// Starts listening as the running instance; false when that failed.
    bool listen();
    QString serverName() const { return m_name; }

Q_SIGNALS:
    /// A second start sent a request.
    void requestReceived(const QByteArray &request);

private:
    QString m_name;
    QLocalServer *m_server = nullptr;
};

} // namespace kvorn
