// SPDX-License-Identifier: GPL-3.0-or-later
#include "popups/PopupAdd.h"

#include "core/Prompt.h"
#include "popups/PopupListModel.h"
#include "popups/PopupLists.h"
#include "popups/Wildcard.h"

namespace kvorn {

QStringList BuildSuggestions(const QString &text, SuggestionMode mode)
{
    const bool title = mode == SuggestionMode::Title;
    const QChar join = title ? QLatin1Char(' ') : QLatin1Char('/');
    const QStringList parts = text.split(join);
    QStringList out;
    if (parts.size() < 3)
        return out;
    const QString edge = title ? QString() : QStringLiteral("/");
    // In an address the first two parts are the scheme and the empty part between "//".
    for (qsizetype i = title ? 0 : 2; i < parts.size() - 1; ++i) {
        QString phrase = parts[i];
        for (qsizetype j = i + 1; j < parts.size(); ++j) {
            const QString candidate = QLatin1Char('*') + edge + phrase + edge + QLatin1Char('*');
            if ((!title || phrase.count(QLatin1Char(' ')) >= 2) && !out.contains(candidate))
                out.append(candidate);
            phrase += join + parts[j];
        }
    }
    return out;
}

namespace {
// Adds a ticked entry and dates exactly that entry, whatever row is current afterwards.
void addToBlack(PopupLists &lists, const QString &text, const QString &today)
{
    PopupListModel &black = lists.blackList();
    // The dialog has made every check itself: the add must not refuse silently.
    lists.AddBlackListEntry(text, true, true);
    const int row = black.currentRow();
    if (row >= 0 && black.entry(row).text == text)
        black.setDateAdded(row, today);
}
} // namespace

bool addPopupEntry(PopupLists &lists, Prompt &prompt, const QString &today, const QString &text,
                   AddTarget target)
{
    PopupListModel &black = lists.blackList();
    PopupListModel &white = lists.whiteList();
    PopupListModel &banned = lists.bannedList();
    const QString lowered = lookupCase(text);
    if (target == AddTarget::Black) {
        if (lists.FindPopupEntry(black, text, true)) {
            prompt.message(QStringLiteral("Sorry, Item already exists in the Black List"),
                           Prompt::Buttons::OkCancel, Prompt::Icon::Information,
                           QStringLiteral("Unable to add Title"));
            return false;
        }
        if (lists.FindPopupEntry(banned, text, true)) {
            prompt.message(QStringLiteral("Sorry, Selected Item is a banned Title"),
                           Prompt::Buttons::OkCancel, Prompt::Icon::Information,
                           QStringLiteral("Unable to add Item"));
            return false;
        }
        if (white.exactRow(lowered) < 0) {
            addToBlack(lists, text, today);
            return true;
        }
        const QString question =
            QStringLiteral("The popup %1 is already in the Exclusion list. \nAre you sure you "
                           "want to add it to the black list and remove it from the Exclusion "
                           "list?")
                .arg(text);
        if (prompt.message(question, Prompt::Buttons::YesNo, Prompt::Icon::Question,
                           QStringLiteral("Confirm Add popup")) != Prompt::Answer::Yes)
            return false;
        // Looked up again: the list may have changed while the question was open.
        const int whiteRow = white.exactRow(lowered);
        addToBlack(lists, text, today);
        if (whiteRow >= 0)
            white.removeAt(whiteRow);
        return true;
    }

    if (lists.FindPopupEntry(white, text, true))
        return false;
    if (lists.FindPopupEntry(banned, text, true)) {
        prompt.message(QStringLiteral("The Selected popup cannot be added because it is a banned popup"),
                       Prompt::Buttons::OkCancel, Prompt::Icon::Information,
                       QStringLiteral("Unable to add popup"));
        return false;
    }
    if (black.exactRow(lowered) < 0) {
        white.append({text, true, {}, {}});
        return true;
    }
    const QString question =
        QStringLiteral("The popup %1 is already in the black list.\nAre you sure you want to add "
                       "it to the Exclusion list and remove it from the black list?")
            .arg(text);
    if (prompt.message(question, Prompt::Buttons::YesNo, Prompt::Icon::Question,
                       QStringLiteral("Confirm Title Move")) != Prompt::Answer::Yes)
        return false;
    white.append({text, true, {}, {}});
    const int blackRow = black.exactRow(lowered);
    if (blackRow >= 0) {
        black.removeAt(blackRow);
        lists.setBlackListChanged(true);
    }
    return true;
}

} // namespace kvorn
