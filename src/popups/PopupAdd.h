// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>

namespace kvorn {

class PopupLists;
class Prompt;

/// What a wildcard suggestion is built from: a window title (words) or an address (segments).
enum class SuggestionMode { Title, Address };

/// The wildcard suggestions of the add dialog: runs of consecutive words (at least three) or
/// address segments (after the scheme) that stop before the last part, each wrapped in
/// stars; in the order they are made, without repeats.
QStringList BuildSuggestions(const QString &text, SuggestionMode mode);

/// The list the add dialog adds to.
enum class AddTarget { Black, White };

/// The add dialog's "&Add": puts `text` on the chosen list, with the checks, messages and
/// moves between the black and the white list. `today` is the "Date Added" of a new
/// black-list entry. The text is added exactly as given (the dialog cleans it first).
/// True when a list changed.
bool addPopupEntry(PopupLists &lists, Prompt &prompt, const QString &today, const QString &text,
                   AddTarget target);

} // namespace kvorn
