#include "log/KillLog.h"

#include "core/DateText.h"
#include "core/MainController.h"
#include "core/Options.h"
#include "core/TextFile.h"
#include "platform/Clock.h"

namespace kvorn {

KillLog::KillLog(Options &options, MainController &controller, Clock &clock, QString programFolder,
                 QObject *parent)
    : QObject(parent), m_options(options), m_controller(controller), m_clock(clock),
      m_path(std::move(programFolder) + QStringLiteral("/k-vorn.log"))
{
}

KillLog::~KillLog() = default;

void KillLog::WriteLogEntry(const QString &kind, const QString &item, const QString &filter)
{
    const int n = ++m_fill;
    m_slots[std::size_t(n - 1)] = {kind, item, filter, generalDateText(m_clock.now())};
    if (n < kSlots)
        return;
    if (m_options.StoreLog) {
        QList<QStringList> lines;
        lines.reserve(kSlots);
        for (QStringList &slot : m_slots) {
            lines.append(std::move(slot));
            slot.clear();
        }
        writeOut(std::move(lines));
    }
    m_fill = 0;
}

bool KillLog::FlushLog()
{
    if (!m_options.StoreLog)
        return true;
    QList<QStringList> lines;
    for (QStringList &slot : m_slots) {
        if (!slot.isEmpty())
            lines.append(std::move(slot));
        slot.clear();
    }
    return writeOut(std::move(lines));
}

bool KillLog::writeOut(QList<QStringList> lines)
{
    // Lines an earlier attempt could not write go first, so the file stays in order.
    QList<QStringList> all = std::move(m_held);
    m_held.clear();
    all.append(std::move(lines));
    if (all.isEmpty())
        return true;
    const WriteResult result = appendLines(m_path, all);
    if (result) {
        m_lastError.clear();
        return true;
    }
    m_held = std::move(all);
    if (m_held.size() > kMaxHeldLines)
        m_held.remove(0, m_held.size() - kMaxHeldLines);
    m_lastError = result.error;
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
    const int month = m_clock.now().date().month();
    kvorn::rollOverCounters(m_options.LogDate, m_options.LogMonth, m_options.LogYear, month);
    kvorn::rollOverCounters(m_mail, month);
}

} // namespace kvorn
