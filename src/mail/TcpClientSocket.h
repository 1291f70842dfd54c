#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QTcpSocket;

namespace kvorn {

/// The mail filter's TCP client socket: connect, send, take what arrived, close; the
/// events arrive on the thread that runs the user interface.
class TcpClientSocket : public QObject
{
    Q_OBJECT

public:
    explicit TcpClientSocket(QObject *parent = nullptr);
    ~TcpClientSocket() override;

    /// Ends any connection; harmless when none is open. Pending data is dropped.
    void Close();
    /// Starts a connection and returns at once; the greeting later arrives as data.
    void Connect(const QString &host, quint16 port);
    /// Sends bytes unchanged (the caller adds CR LF). False when no connection is open.
    bool SendData(const QByteArray &data);
    /// Everything received since the last call, as received.
    QByteArray GetData();
    /// True while connecting or connected.
    bool isOpen() const;

Q_SIGNALS:
    /// Data came in; `bytesTotal` is how much waits to be taken with `GetData`.
    void DataArrival(qint64 bytesTotal);
    /// A connection or transfer failure, numbered as the classic socket errors are.
    void Error(int number, const QString &description);

private:
    void onReadyRead();
    void onError();

    QTcpSocket *m_socket = nullptr;
    QByteArray m_pending;
};

} // namespace kvorn
