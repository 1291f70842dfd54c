// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "popups/PopupEntry.h"

#include <QByteArrayView>
#include <QStringList>
#include <optional>
#include <vector>

namespace kvorn {

/// True when a list file's flag field means "enabled": its leading numeric value is not 0
/// ("1" and "-1" are enabled; "0" and text that is no number are not).
bool listFlagEnabled(const QString &field);
/// The same for the raw bytes of the field, read as Latin-1.
bool listFlagEnabled(QByteArrayView field);

/// Reads one line of "spamlist.kbl" / "spamex.kbl", already split at the 0xFF byte.
/// Four fields: flag, text, date added, last used (empty dates read "01/01/01"); extra
/// fields are ignored. Two or three fields: the dates that are missing read "01/01/01".
/// One field: the older layout without separators (the text is the line without its last
/// two characters, enabled when the last character is a non-zero digit). Nothing for an
/// empty line or an older-layout line too short to hold a text.
std::optional<PopupEntry> parseListLine(const QStringList &fields);

/// The fields of one line as they are written: "1"/"0", text, date added, last used.
QStringList listLineFields(const PopupEntry &entry);

/// What reading a list file gave.
struct ListFileRead
{
    bool exists = false; ///< false: no file, the list loads empty without a word
    QString error;       ///< the file is there but could not be read
    std::vector<PopupEntry> entries;
};

/// Reads a black-list or white-list file; one over the limits of list files is not read.
ListFileRead readListFile(const QString &path);
/// Reads "banned.kbl": one text per line (empty lines are skipped); the same limits hold.
ListFileRead readBannedFile(const QString &path);

} // namespace kvorn
