// SPDX-License-Identifier: GPL-3.0-or-later
#include "banner/SystemHosts.h"

#include <QFileInfo>

namespace kvorn {

namespace {
// pkexec's own exit codes, distinct from the helper's 0, 1 and 2.
constexpr int kPkexecDismissed = 126;
constexpr int kPkexecNotAuthorized = 127;
} // namespace

SystemHosts::SystemHosts(QString helper, QStringList runAsRoot, QStringList helperOptions,
                         QObject *parent)
    : QObject(parent), m_helper(std::move(helper)), m_runAsRoot(std::move(runAsRoot)),
      m_helperOptions(std::move(helperOptions))
{
}

bool SystemHosts::available() const
{
    const QFileInfo info(m_helper);
    return info.isFile() && info.isExecutable();
}

bool SystemHosts::start(Action action, const QByteArray &names)
{
    if (m_process)
        return false;
    m_action = action;
    m_emptyApply = action == Action::Apply && names.isEmpty();
    auto *process = new QProcess(this);
    m_process = process;
    QStringList arguments = m_runAsRoot;
    arguments << m_helper << m_helperOptions
              << (action == Action::Apply ? QStringLiteral("apply") : QStringLiteral("remove"));
    const QString program = arguments.takeFirst();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    connect(process, &QProcess::finished, this, &SystemHosts::done);
    connect(process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            failedToStart();
    });
    process->start(program, arguments);
    // A start that failed at once has already been reported.
    if (m_process != process)
        return true;
    // Written into the pipe's buffer by the event loop while the helper reads; a refused
    // pkexec closes the pipe and the rest is dropped.
    if (action == Action::Apply)
        process->write(names);
    process->closeWriteChannel();
    return true;
}

void SystemHosts::failedToStart()
{
    if (!m_process)
        return;
    const QString program = m_runAsRoot.isEmpty() ? m_helper : m_runAsRoot.front();
    const QString why = m_process->errorString();
    m_process->deleteLater();
    m_process = nullptr;
    Q_EMIT finished(false, QStringLiteral("%1 could not be started (%2), so the system's hosts "
                                          "file is unchanged. Changing it needs the program "
                                          "pkexec (Debian package \"pkexec\").")
                               .arg(program, why));
}

void SystemHosts::done(int exitCode, QProcess::ExitStatus status)
{
    if (!m_process)
        return;
    const QString errors = QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed();
    m_process->deleteLater();
    m_process = nullptr;

    const bool viaPkexec = !m_runAsRoot.isEmpty();
    QString message;
    bool ok = false;
    if (status != QProcess::NormalExit) {
        message = QStringLiteral("The hosts helper stopped unexpectedly.");
    } else if (exitCode == 0) {
        ok = true;
        message = m_emptyApply
                      ? QStringLiteral("No banner server group is ticked: K-Vorn's servers were "
                                       "taken out of /etc/hosts.")
                  : m_action == Action::Apply
                      ? QStringLiteral("The ticked banner servers are now blocked for the whole "
                                       "system (/etc/hosts).")
                      : QStringLiteral("K-Vorn's banner servers were removed from /etc/hosts.");
    } else if (viaPkexec && exitCode == kPkexecDismissed) {
        message = QStringLiteral("The system's hosts file was not changed: the authentication "
                                 "was cancelled.");
    } else if (viaPkexec && exitCode == kPkexecNotAuthorized) {
        message = QStringLiteral("The system's hosts file was not changed: pkexec refused "
                                 "(not authorized).");
    } else {
        message = QStringLiteral("The system's hosts file was not changed.");
    }
    if (!ok && !errors.isEmpty())
        message += QStringLiteral("\n\n") + errors;
    Q_EMIT finished(ok, message);
}

} // namespace kvorn
