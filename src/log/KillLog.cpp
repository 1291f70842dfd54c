// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/KillLog.h"

#include "core/DateText.h"
#include "core/MainController.h"
#include "core/Options.h"
#include "core/TextFile.h"
#include "platform/Clock.h"

#include <utility>

namespace kvorn {

KillLog::KillLog(Options &options, MainController &controller, Clock &clock, QString programFolder,
                 QObject *parent)
    : QObject(parent), m_options(options), m_controller(controller), m_clock(clock),
      m_path(std::move(programFolder) + QStringLiteral("/k-vorn.log"))
{
    // Space may come back while nothing is killed: the records held back go in then.
    m_retry.setSingleShot(true);
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, [this] { FlushLog(); });
}

KillLog::~KillLog() = default;

void KillLog::WriteLogEntry(const QString &kind, const QString &item, const QString &filter)
{
    if (!m_options.StoreLog)
        return;
    writeOut({{kind, item, filter, generalDateText(m_clock.now())}});
}

bool KillLog::FlushLog()
{
    if (!m_options.StoreLog)
        return true;
    return writeOut({});
}

bool KillLog::writeOut(QList<QStringList> lines)
{
    // Records an earlier attempt could not write go first, so the file stays in order.
    QList<QStringList> all = std::move(m_held);
    m_held.clear();
    all.append(std::move(lines));
    if (all.isEmpty())
        return true;
    // One append for all of them: it lands whole or the file keeps its old length, so a
    // record held back is never in the file already.
    const WriteResult result = appendLines(m_path, all);
    if (result) {
        m_retry.stop();
        if (!std::exchange(m_lastError, QString()).isEmpty())
            Q_EMIT writeRecovered();
        return true;
    }
    m_held = std::move(all);
    if (m_held.size() > kMaxHeldLines)
        m_held.remove(0, m_held.size() - kMaxHeldLines);
    m_retry.start();
    if (std::exchange(m_lastError, result.error) != result.error)
        Q_EMIT writeFailed(result.error);
    return false;
}

void KillLog::countPopupKill(const QString &title, const QString &blackListEntry)
{
    rollOverCounters();
    countUp(m_options.LogForever);
    countUp(m_options.LogMonth);
    countUp(m_options.LogYear);
    ++m_killedPops;
    WriteLogEntry(QStringLiteral("Popup"), title, blackListEntry);
    m_controller.UpdateStatusBar(PopupScreen, 2,
                                 QStringLiteral("Popups Killed: %1 ").arg(m_killedPops));
    Q_EMIT killCounted(QStringLiteral("Popup"), title);
}

void KillLog::countMailDeletion(const QString &sender, const QString &blacklistColumn)
{
    rollOverCounters();
    ++m_killedMail;
    WriteLogEntry(QStringLiteral("Mail"), sender, blacklistColumn);
    m_controller.UpdateStatusBar(MailScreen, 4,
                                 QStringLiteral("Mail Deleted: %1 ").arg(m_killedMail));
    countUp(m_mail.LogForever);
    countUp(m_mail.LogMonth);
    countUp(m_mail.LogYear);
    Q_EMIT killCounted(QStringLiteral("Mail"), sender);
}

void KillLog::rollOverCounters()
{
    const QDate today = m_clock.now().date();
    kvorn::rollOverCounters(m_options.LogDate, m_options.LogDateYear, m_options.LogMonth,
                            m_options.LogYear, today);
    kvorn::rollOverCounters(m_mail, today);
}

} // namespace kvorn
