// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/QtTrayIcon.h"

#include <QCursor>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QSystemTrayIcon>

namespace kvorn {

namespace {
// The program's own pictures: a shield in the colour of the state, a "K" on it.
QPixmap drawShield(int size, QColor fill, QColor mark)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size;
    QPainterPath shield;
    shield.moveTo(s * 0.5, s * 0.04);
    shield.lineTo(s * 0.9, s * 0.18);
    shield.cubicTo(s * 0.9, s * 0.6, s * 0.7, s * 0.85, s * 0.5, s * 0.96);
    shield.cubicTo(s * 0.3, s * 0.85, s * 0.1, s * 0.6, s * 0.1, s * 0.18);
    shield.closeSubpath();
    p.setPen(QPen(fill.darker(160), s / 16));
    p.setBrush(fill);
    p.drawPath(shield);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(int(s * 0.55));
    p.setFont(font);
    p.setPen(mark);
    p.drawText(QRectF(0, s * 0.05, s, s * 0.8), Qt::AlignCenter, QStringLiteral("K"));
    return pixmap;
}
} // namespace

QIcon QtTrayIcon::pictureIcon(TrayPicture picture)
{
    QColor fill;
    QColor mark = Qt::white;
    switch (picture) {
    case TrayPicture::Active: fill = QColor(0x2e, 0x8b, 0x3a); break;
    case TrayPicture::Idle: fill = QColor(0x80, 0x80, 0x80); break;
    case TrayPicture::FlashA: fill = QColor(0xf0, 0x8c, 0x00); break;
    case TrayPicture::Halted: fill = QColor(0xc6, 0x28, 0x28); break;
    case TrayPicture::FlashB:
        fill = QColor(0xff, 0xd6, 0x00);
        mark = Qt::black;
        break;
    }
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(drawShield(size, fill, mark));
    return icon;
}

QtTrayIcon::QtTrayIcon(QObject *parent) : TrayIcon(parent), m_icon(new QSystemTrayIcon(this))
{
    m_icon->setIcon(pictureIcon(m_picture));
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                switch (reason) {
                case QSystemTrayIcon::DoubleClick: Q_EMIT doubleClicked(1); break;
                case QSystemTrayIcon::Context: Q_EMIT mouseUp(2); break;
                case QSystemTrayIcon::Trigger: Q_EMIT mouseUp(1); break;
                default: break;
                }
            });
}

QtTrayIcon::~QtTrayIcon() = default;

void QtTrayIcon::setPresent(bool present)
{
    if (present == m_present)
        return;
    m_present = present;
    m_icon->setVisible(present);
}

void QtTrayIcon::setPicture(TrayPicture picture)
{
    if (picture == m_picture)
        return;
    m_picture = picture;
    m_icon->setIcon(pictureIcon(picture));
}

void QtTrayIcon::setTip(const QString &tip)
{
    m_tip = tip;
    m_icon->setToolTip(tip);
}

void QtTrayIcon::popupMenu(QMenu *menu)
{
    menu->popup(QCursor::pos());
}

void QtTrayIcon::showMessage(const QString &title, const QString &text)
{
    if (m_present)
        m_icon->showMessage(title, text, QSystemTrayIcon::Information);
}

} // namespace kvorn
