// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

class QSocketNotifier;

namespace kvorn {

/// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal on the event loop, so that the
/// program can save before it ends.
class UnixSignalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit UnixSignalWatcher(QObject *parent = nullptr);
    ~UnixSignalWatcher() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier *m_notifier = nullptr;
};

} // namespace kvorn
