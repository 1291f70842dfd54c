// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>
#include <functional>

namespace kvorn {

/// Classifies each row the mail check adds, before the check asks for its unique ID.
class MailClassifier
{
public:
    virtual ~MailClassifier() = default;
    /// Classifies the mail list row with `rowKey` (the selected row). Calls `done` exactly
    /// once, at once or later (a name look-up may take a while), with true when the row
    /// was taken out of the list. A `done` that comes after the check was stopped is ignored.
    virtual void classify(quint64 rowKey, std::function<void(bool rowHidden)> done) = 0;
    /// Calls `done` once every row handed over so far has its final marks: at once, or later
    /// while answers for them are still awaited. The check ends only then, so that the list
    /// it leaves is the one processing acts on.
    virtual void whenSettled(std::function<void()> done) { done(); }
};

} // namespace kvorn
