// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

namespace kvorn {

struct Options;
class KillLog;
class TrayIcon;

/// Tells the desktop of kills when the user chose it ("KillNotify"). A burst of kills (a
/// page opening ten popups, a mail check deleting fifty messages) must not become a burst
/// of notifications: the first is shown at once, the rest of the second are summed up in
/// one notification when it ends.
class KillNotifier : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 1000;

    KillNotifier(KillLog &log, const Options &options, TrayIcon &tray, QObject *parent = nullptr);

    /// What a kill shows: with "Scramble Popups Text" on, the title stays out of it.
    static QString text(const QString &kind, const QString &item, bool scramble);

private:
    void killed(const QString &kind, const QString &item);
    void showHeld();

    const Options &m_options;
    TrayIcon &m_tray;
    QElapsedTimer m_lastShown;
    QTimer m_held;
    int m_heldCount = 0;
    QString m_heldText;
};

} // namespace kvorn
