// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/KillChart.h"

#include <QLocale>
#include <QPainter>

#include <algorithm>

namespace kvorn {

namespace {
const QColor kPopupColor(0x35, 0x84, 0xe4);
const QColor kMailColor(0xe6, 0x61, 0x00);

/// One panel: a title, pairs of bars, the highest value at the top left and a label
/// under the first and the last slot.
template <std::size_t N>
void drawPanel(QPainter &p, const QRect &area, const QString &title,
               const std::array<std::int64_t, N> &popups, const std::array<std::int64_t, N> &mail,
               const QString &firstLabel, const QString &lastLabel)
{
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    p.setPen(p.pen().color());
    p.drawText(area.left(), area.top() + fm.ascent(), title);
    std::int64_t top = 1;
    for (std::size_t i = 0; i < N; ++i)
        top = std::max({top, popups[i], mail[i]});
    const QString topText = QString::number(top);
    const int axis = fm.horizontalAdvance(topText) + 4;
    const QRect bars(area.left() + axis, area.top() + line + 2, area.width() - axis,
                     area.height() - 2 * line - 4);
    if (bars.height() < 4 || bars.width() < int(N) * 2)
        return;
    p.drawText(area.left(), bars.top() + fm.ascent(), topText);
    p.drawLine(bars.bottomLeft(), bars.bottomRight());
    const double slot = double(bars.width()) / double(N);
    const double barWidth = std::max(1.0, slot * 0.4);
    for (std::size_t i = 0; i < N; ++i) {
        const double x = bars.left() + slot * double(i) + slot * 0.1;
        const std::int64_t values[] = {popups[i], mail[i]};
        const QColor colors[] = {kPopupColor, kMailColor};
        for (int s = 0; s < 2; ++s) {
            const double h = double(bars.height()) * double(values[s]) / double(top);
            if (values[s] > 0)
                p.fillRect(QRectF(x + barWidth * s, bars.bottom() - h, barWidth, h), colors[s]);
        }
    }
    p.drawText(bars.left(), bars.bottom() + 2 + fm.ascent(), firstLabel);
    p.drawText(bars.right() - fm.horizontalAdvance(lastLabel), bars.bottom() + 2 + fm.ascent(),
               lastLabel);
}
} // namespace

KillChart::KillChart(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("chartKills"));
    setMinimumHeight(160);
}

QSize KillChart::sizeHint() const
{
    return {420, 260};
}

void KillChart::setHistory(const KillHistory &history)
{
    m_history = history;
    update();
}

QString KillChart::note() const
{
    if (!m_history)
        return QStringLiteral("Reading k-vorn.log...");
    if (!m_history->error.isEmpty())
        return QStringLiteral("The log file cannot be read: %1").arg(m_history->error);
    QString note = QStringLiteral("Kills from k-vorn.log");
    if (m_history->undated > 0)
        note += QStringLiteral("; %1 records without a readable date").arg(m_history->undated);
    return note;
}

void KillChart::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics fm = p.fontMetrics();
    const int line = fm.height();
    const QRect all = rect().adjusted(4, 4, -4, -4);
    // The legend and the note share the last line.
    const int legendY = all.bottom() - line;
    int x = all.left();
    const QColor colors[] = {kPopupColor, kMailColor};
    const QString names[] = {QStringLiteral("Popups"), QStringLiteral("Mail")};
    for (int s = 0; s < 2; ++s) {
        p.fillRect(QRect(x, legendY + (line - 10) / 2, 10, 10), colors[s]);
        x += 14;
        p.drawText(x, legendY + fm.ascent(), names[s]);
        x += fm.horizontalAdvance(names[s]) + 12;
    }
    p.drawText(QRect(x, legendY, all.right() - x, line), Qt::AlignRight | Qt::AlignVCenter,
               fm.elidedText(note(), Qt::ElideRight, std::max(0, all.right() - x)));
    if (!m_history || !m_history->error.isEmpty())
        return;

    const QRect charts(all.left(), all.top(), all.width(), legendY - all.top() - 4);
    const int half = charts.height() / 2;
    const QLocale locale;
    const QDate today = m_history->today;
    const QDate firstDay = today.addDays(-(KillHistory::kDays - 1));
    const QDate firstMonth = QDate(today.year(), today.month(), 1).addMonths(-(KillHistory::kMonths - 1));
    drawPanel(p, QRect(charts.left(), charts.top(), charts.width(), half - 4),
              QStringLiteral("Per day, last 30 days"), m_history->popupsPerDay, m_history->mailPerDay,
              locale.toString(firstDay, QLocale::ShortFormat),
              locale.toString(today, QLocale::ShortFormat));
    drawPanel(p, QRect(charts.left(), charts.top() + half, charts.width(), charts.height() - half),
              QStringLiteral("Per month, last 12 months"), m_history->popupsPerMonth,
              m_history->mailPerMonth, locale.toString(firstMonth, QStringLiteral("MMM yyyy")),
              locale.toString(today, QStringLiteral("MMM yyyy")));
}

} // namespace kvorn
