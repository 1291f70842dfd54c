// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/WindowSystem.h"

#include <QObject>
#include <QString>

namespace kvorn {

struct Options;
class PopupLoop;
class PopupLists;
class PopupKiller;
class KeyboardState;
class DesktopShell;
class Prompt;

/// The hot keys of the detection tick: quick add (Ctrl+Shift+X) and opening the last
/// closed address (Ctrl+Shift+B). Each acts once per press, on the tick where its chord
/// goes down; a press while the previous one is still being answered is ignored.
class HotKeys : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        PopupLoop &loop;
        PopupLists &lists;
        PopupKiller &killer;
        KeyboardState &keyboard;
        WindowSystem &windows;
        DesktopShell &shell;
        Prompt &prompt;
        Options &options;
    };

    /// Listens to the loop's hot-key step.
    explicit HotKeys(Services services, QObject *parent = nullptr);

    /// The hot-key step of one detection tick.
    void poll();

    /// The title ("Title") or the address ("Address") of the last detected entry of the
    /// window; empty when none is detected for it, or it has no address.
    QString GetHotTitle(WindowId winAddress, const QString &passType) const;

    /// True for an address the shell may open: an absolute http or https address.
    static bool isOpenableAddress(const QString &text);
    /// The browser's new-window event: cancels the new window unless force-open is on.
    /// Nothing on this desktop raises the event.
    static void IE_NewWindow2(bool forceOpen, bool &cancel);

Q_SIGNALS:
    /// Quick add found the foreground window's detected entry (now the selected one): the
    /// add dialog is to open on top with this title, adding to the black list.
    void quickAddRequested(const QString &title);

private:
    void quickAdd();
    void openLastClosed();

    Services m_s;
    bool m_addHeld = false;
    bool m_openHeld = false;
    bool m_answering = false;
};

} // namespace kvorn
