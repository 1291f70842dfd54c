// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

namespace kvorn {

/// QSettings' INI layout, read and written by our own functions instead of Qt's:
/// - a value that is not UTF-8 (a file edited in Latin-1 or written on Windows) is read as
///   Windows-1252 instead of becoming replacement characters that the next save makes
///   permanent;
/// - a write that did not reach the disk (a full disk) fails the save and leaves the old
///   file whole; Qt's own INI writer reports success and leaves a cut file.
/// Files written by Qt's INI format read the same, and Qt reads ours the same.
QSettings::Format safeIniFormat();

/// Reads the bytes of an INI file into keys ("Section/Key") and values.
/// Returns false when a line could not be understood; the keys read are still filled in.
bool readIni(const QByteArray &data, QSettings::SettingsMap &map);
/// The bytes of an INI file holding these keys and values.
QByteArray writeIni(const QSettings::SettingsMap &map);

/// Empty when `data` is a sound INI file; else what makes it damaged.
QString iniProblem(const QByteArray &data);

} // namespace kvorn
