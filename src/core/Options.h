// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <cstdint>

namespace kvorn {

/// The options record: one field per key of section "Options", named as the key.
struct Options
{
    bool StartWithWindows = true;
    bool JumpHome = true;
    QString HomePage;
    bool BannerBlock = false;
    bool UseCustomIETitle = false;
    QString CustomIETitle;
    bool UseAutoUpdate = true;
    bool StoreLog = true;
    bool UploadLog = true;
    QString AUDays = QStringLiteral("7");
    bool ShowInTray = true;
    bool Flash = true;
    bool Sound = false;
    bool AutoColumn = true;
    bool DisHotKey = false;
    bool ScrambleText = false;
    /// A desktop notification for every kill (at most one a second); off unless chosen.
    bool KillNotify = false;
    bool BLDelete = false;
    bool OptDwsp = false;
    std::int32_t MasDwrd = 0;
    bool BlockAll = false;
    bool BallEx = true;
    bool BList = true;
    std::int16_t BSpeed = 0;
    bool WinLmtMode = false;
    std::int16_t WinLmtWindows = 7;
    bool DisableWildcards = false;
    bool HotAddKey = true;
    bool HotAddFast = true;
    bool HotAddTitle = true;
    bool HotAddWild = true;
    bool HideExempt = true;
    QString LastUpdate = QStringLiteral("01/01/2003");
    QString UserName;
    QString MailOps;
    QString LogFName = QStringLiteral("kvorn.log");
    std::int16_t LogDate = 0;
    std::int32_t LogMonth = 0;
    std::int32_t LogYear = 0;
    std::int32_t LogForever = 0;
    bool TipofDay = true;
    /// The year of "LogDate"; 0 in files written before it was kept.
    std::int16_t LogDateYear = 0;
    /// Reads the page address of browser windows from the accessibility bus.
    bool ReadBrowserAddresses = true;

    /// Not a key: true when the display options are to be applied (set by loading,
    /// saving and the options dialog's "Apply", cleared by its "Cancel").
    bool accepted = false;
};

} // namespace kvorn
