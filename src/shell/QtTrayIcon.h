// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/TrayIcon.h"

#include <QIcon>

#include <array>

class QMenu;
class QSystemTrayIcon;

namespace kvorn {

/// The tray icon through the desktop's notification area (StatusNotifier or XEmbed).
class QtTrayIcon final : public TrayIcon
{
    Q_OBJECT

public:
    explicit QtTrayIcon(QObject *parent = nullptr);
    ~QtTrayIcon() override;

    void setPresent(bool present) override;
    bool isPresent() const override { return m_present; }
    void setPicture(TrayPicture picture) override;
    TrayPicture picture() const override { return m_picture; }
    void setTip(const QString &tip) override;
    QString tip() const override { return m_tip; }
    void showMessage(const QString &title, const QString &text) override;

    /// The menu shown on a right click (the window decides when).
    void popupMenu(QMenu *menu);
    /// The icon of a picture, also used as the window's icon.
    static QIcon pictureIcon(TrayPicture picture);

private:
    QSystemTrayIcon *m_icon;
    bool m_present = false;
    TrayPicture m_picture = TrayPicture::Idle;
    QString m_tip;
};

} // namespace kvorn
