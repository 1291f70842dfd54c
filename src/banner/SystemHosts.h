// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace kvorn {

/// Puts the blocked servers into the system's hosts file, or takes them out, through the
/// privileged helper `kvorn-hosts-helper` started with pkexec. Runs without blocking the
/// user-interface thread; the outcome arrives as `finished`.
class SystemHosts : public QObject
{
    Q_OBJECT

public:
    enum class Action
    {
        Apply,
        Remove
    };

    /// `helper`: the helper's path. `runAsRoot`: what starts it as root (normally
    /// {"pkexec"}; empty runs it directly). `helperOptions`: arguments before the action.
    SystemHosts(QString helper, QStringList runAsRoot = {QStringLiteral("pkexec")},
                QStringList helperOptions = {}, QObject *parent = nullptr);

    /// Whether the helper is there to be started; the commands are offered only then.
    bool available() const;
    bool isRunning() const { return m_process != nullptr; }

    /// Starts the helper; `names` (one a line) are the servers to block for `Action::Apply`.
    /// False when one is still running.
    bool start(Action action, const QByteArray &names = {});

Q_SIGNALS:
    /// The helper ended: `ok` when the system's hosts file is as asked; `message` for the user.
    void finished(bool ok, const QString &message);

private:
    void done(int exitCode, QProcess::ExitStatus status);
    void failedToStart();

    QString m_helper;
    QStringList m_runAsRoot;
    QStringList m_helperOptions;
    QProcess *m_process = nullptr;
    Action m_action = Action::Apply;
    /// An apply without servers only takes the block out; the user is told so.
    bool m_emptyApply = false;
};

} // namespace kvorn
