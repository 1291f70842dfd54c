// SPDX-License-Identifier: GPL-3.0-or-later
#include "log/KillNotifier.h"

#include "core/Options.h"
#include "log/KillLog.h"
#include "platform/TrayIcon.h"

namespace kvorn {

namespace {
const QString kTitle = QStringLiteral("K-Vorn");
}

KillNotifier::KillNotifier(KillLog &log, const Options &options, TrayIcon &tray, QObject *parent)
    : QObject(parent), m_options(options), m_tray(tray)
{
    m_held.setSingleShot(true);
    connect(&m_held, &QTimer::timeout, this, &KillNotifier::showHeld);
    connect(&log, &KillLog::killCounted, this, &KillNotifier::killed);
}

QString KillNotifier::text(const QString &kind, const QString &item, bool scramble)
{
    if (kind == QLatin1String("Mail"))
        return QStringLiteral("Mail deleted: %1").arg(item);
    if (scramble || item.isEmpty())
        return QStringLiteral("A popup was closed.");
    return QStringLiteral("Popup closed: %1").arg(item);
}

void KillNotifier::killed(const QString &kind, const QString &item)
{
    if (!m_options.KillNotify)
        return;
    const QString shown = text(kind, item, m_options.ScrambleText);
    if (!m_lastShown.isValid() || m_lastShown.elapsed() >= kIntervalMs) {
        m_tray.showMessage(kTitle, shown);
        m_lastShown.start();
        return;
    }
    ++m_heldCount;
    m_heldText = shown;
    if (!m_held.isActive())
        m_held.start(int(std::max<qint64>(0, kIntervalMs - m_lastShown.elapsed())));
}

void KillNotifier::showHeld()
{
    if (m_heldCount == 0)
        return;
    const QString shown =
        m_heldCount == 1
            ? m_heldText
            : QStringLiteral("%1 more kills; the last: %2").arg(m_heldCount).arg(m_heldText);
    m_heldCount = 0;
    m_heldText.clear();
    if (m_options.KillNotify)
        m_tray.showMessage(kTitle, shown);
    m_lastShown.start();
}

} // namespace kvorn
