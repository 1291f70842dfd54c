// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UpdateProgressStrip.h"

#include "update/InternetTexts.h"

#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace kvorn {

UpdateProgressStrip::UpdateProgressStrip(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tbFlood"));
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QSize UpdateProgressStrip::sizeHint() const
{
    return {360, fontMetrics().height() + 8};
}

void UpdateProgressStrip::clear()
{
    m_text.clear();
    m_bar = 0;
    m_fore = kNavy;
}

void UpdateProgressStrip::FloodDisplay(double total, const QString &message)
{
    clear();
    m_scale = total;
    m_message = message;
    setVisible(true);
    repaint();
}

void UpdateProgressStrip::FloodUpdateTextPC(double total, double done)
{
    if (done > total)
        return;
    if (done > m_scale)
        done = m_scale;
    clear();
    m_scale = total;
    if (m_scale <= 0 || done < 0) {
        // Nothing to measure against: a percentage of nothing would be a division by zero.
        m_text = m_message;
    } else {
        const double percent = std::round(done / m_scale * 100);
        m_text = m_message + QLatin1Char(' ') + QString::number(percent, 'f', 0) +
                 QLatin1Char('%');
        m_bar = done / m_scale;
    }
    repaint();
}

void UpdateProgressStrip::FloodShowConnectAction(const QString &text)
{
    clear();
    m_text = text;
    repaint();
}

void UpdateProgressStrip::FloodShowTransferResult(bool success, const QString &fileName)
{
    clear();
    m_fore = success ? kDarkGreen : kDarkRed;
    m_text = QStringLiteral("Transfer of ") + fileName +
             (success ? QStringLiteral(" completed successfully.") : QStringLiteral(" failed."));
    m_bar = 1;
    repaint();
}

void UpdateProgressStrip::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect area = rect();
    p.fillRect(area, Qt::white);
    const QRect textArea = area.adjusted(2, 0, 0, 0);
    const int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine;
    p.setPen(m_fore);
    p.drawText(textArea, flags, m_text);
    if (m_bar <= 0)
        return;
    // Inside the bar the text shows inverted, white on the bar's colour.
    const QRect bar(area.left(), area.top(), int(std::lround(area.width() * m_bar)),
                    area.height());
    p.fillRect(bar, m_fore);
    p.setClipRect(bar);
    p.setPen(Qt::white);
    p.drawText(textArea, flags, m_text);
}

void ShowInternetStatus(const InternetStatusAction &action, const FtpTransferState &state,
                        UpdateProgressStrip &strip, UpdateStatusLog &log)
{
    if (action.progress)
        strip.FloodUpdateTextPC(state.TransferTotal, state.BytesReceived);
    if (action.strip)
        strip.FloodShowConnectAction(*action.strip);
    if (action.line)
        log.AddStatusLine(*action.line);
}

} // namespace kvorn
