// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

class QLineEdit;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;
class QPushButton;

namespace kvorn {

class PopupLists;
class Prompt;
class Clock;

/// The add dialog `frmAddPopUp` ("Popup Add"): puts the selected detected window's title
/// (or a wildcard made from it) on the black list or the white list.
class PopupAddDialog : public QDialog
{
    Q_OBJECT

public:
    PopupAddDialog(PopupLists &lists, Prompt &prompt, Clock &clock, QWidget *parent = nullptr);

    /// The opening steps: the selected detected row's title (or nothing), "Window &Title",
    /// its suggestions, and the black list as target.
    void reset();
    /// Replaces the entry text and builds the suggestions from it as a title.
    void setEntryText(const QString &text);
    QString entryText() const;
    /// The suggestions shown, in order.
    QStringList suggestions() const;
    /// True while "Add to the &Black List" is chosen.
    bool addsToBlackList() const;
    void chooseBlackList(bool black);

    /// "Window &Title" / "Window http:// &Address" chosen.
    void chooseTitle();
    void chooseAddress();
    /// "&Add".
    void add();

private:
    QString selectedDetectedTitle(bool *found) const;
    void showSuggestions(const QStringList &items);
    void updateButtons();

    PopupLists &m_lists;
    Prompt &m_prompt;
    Clock &m_clock;
    QRadioButton *m_black = nullptr;
    QRadioButton *m_white = nullptr;
    QRadioButton *m_title = nullptr;
    QRadioButton *m_address = nullptr;
    QLineEdit *m_text = nullptr;
    QTreeWidget *m_wilds = nullptr;
    QPushButton *m_add = nullptr;
};

} // namespace kvorn
