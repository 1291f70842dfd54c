// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

namespace kvorn {

class Clock;
class MailLists;
class MainController;
class MainWindow;
class MessageListModel;
class PopupLists;
class PopupLoop;
class Prompt;
class SettingsStore;
struct Options;

/// What the update dialog needs.
struct UpdateCommandServices
{
    Options &options;
    SettingsStore &store;
    MainController &controller;
    PopupLists &popupLists;
    PopupLoop &popupLoop;
    MailLists &mailLists;
    MessageListModel &messages;
    Prompt &prompt;
    Clock &clock;
    QString programFolder;
    /// The key software updates must be signed with (32 bytes); empty: none is started.
    QByteArray publicKey;
};

/// Binds File > "&Update..." (enabled while an update server is set) and the automatic
/// opening of the update dialog. One dialog at a time; a second request raises it.
void installUpdateCommands(MainWindow &window, const UpdateCommandServices &services);

} // namespace kvorn
