// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace kvorn {

/// Word `n` (counting from 0) of a server reply, the words parted by `separator`.
/// "NOT FOUND" when the reply has fewer words. Two separators in a row make an empty word;
/// nothing is trimmed.
QString ReplyWord(const QString &text, int n, const QString &separator);

} // namespace kvorn
