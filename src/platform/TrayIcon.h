// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>

namespace kvorn {

/// The pictures of the tray icon, by the index of the program's image list.
enum class TrayPicture { Active = 1, Idle = 2, FlashA = 3, Halted = 4, FlashB = 5 };

/// The program's icon in the notification area.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~TrayIcon() override = default;

    /// Puts the icon into the tray (true) or removes it (false).
    virtual void setPresent(bool present) = 0;
    /// True while the icon is in the tray.
    virtual bool isPresent() const = 0;
    /// Shows one of the five pictures.
    virtual void setPicture(TrayPicture picture) = 0;
    /// The picture last set.
    virtual TrayPicture picture() const = 0;
    /// Sets the tooltip; kept while the icon is absent.
    virtual void setTip(const QString &tip) = 0;
    /// The tooltip last set.
    virtual QString tip() const = 0;
    /// A short desktop notification beside the icon; nothing when there is no tray.
    virtual void showMessage(const QString &title, const QString &text) = 0;

Q_SIGNALS:
    /// A mouse button was released over the icon (1 left, 2 right).
    void mouseUp(int button);
    /// The icon was double-clicked (1 left).
    void doubleClicked(int button);
};

} // namespace kvorn
