// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

namespace kvorn {

/// Decodes Windows-1252, the code page of the files and settings of the Windows version.
QString decodeCp1252(QByteArrayView bytes);
/// Decodes UTF-8 when the bytes are valid UTF-8, else Windows-1252, so that a text written
/// by either version reads right and never turns into replacement characters.
QString decodeUtf8OrCp1252(QByteArrayView bytes);
/// The value of a hexadecimal digit (either case), -1 for any other character.
int hexDigitValue(char16_t c);
/// True when the bytes are valid UTF-8.
bool isValidUtf8(QByteArrayView bytes);

} // namespace kvorn
