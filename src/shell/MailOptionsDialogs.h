// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mail/MailSettings.h"

#include <QDialog>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLineEdit;
class QSpinBox;
class QTabWidget;

namespace kvorn {

class MailCheck;
class MailLists;
class MailListsWindow;
class Prompt;

/// A whole-number box kept within its bounds on every change: typing past the top gives
/// the top, and 0, nothing or a letter gives the bottom (a spin box would instead drop the
/// last digit or refuse the key). The arrows beside it step by one.
class ClampedNumberBox : public QWidget
{
    Q_OBJECT

public:
    ClampedNumberBox(int minimum, int maximum, QWidget *parent = nullptr);
    int value() const;
    void setValue(int value);
    QLineEdit *edit() const { return m_edit; }
    void stepBy(int steps);

private:
    void clampText();

    int m_min;
    int m_max;
    QLineEdit *m_edit;
};

/// The time-out box's text as milliseconds: "20" is 20000, "2.5" (or the locale's decimal
/// mark) 2500; kept within 1000–64000. Nothing when the text is not a number, so that a
/// slip of the keyboard keeps the stored value instead of stopping every check at once.
std::optional<std::int32_t> serverTimeoutFromText(const QString &text);

/// `frmMailOptions` "Mail Options": the General options, the blacklist and friends list,
/// and the (inert) filters. Made once per run, then hidden and shown.
class MailOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    enum Tab { General = 0, BlacklistAndFriends = 1, Filters = 2 };

    MailOptionsDialog(MailSettings &settings, MailCheck &check, MailLists &lists, Prompt &prompt,
                      std::function<QString()> saveMail, QWidget *parent = nullptr);

    /// Shows the dialog, on `tab` unless it is -1 (then on the tab it showed last).
    void showTab(int tab = -1);
    QTabWidget *tabs() const { return m_tabs; }
    MailListsWindow *lists() const { return m_lists; }
    /// Shows the stored options in the General controls.
    void loadGeneral();
    /// Ticks or clears "Auto Delete Before Mail Check" (the blacklist and friends options
    /// change the same option).
    void showAutoDelete(bool on);

    /// "&OK": store, hide, save.
    void accept() override;
    /// "&Cancel": hide; the controls show the stored options again at the next opening.
    void reject() override;

    void deleteFilter();
    void openBnFOptions();
    void openFilterEditor();

private:
    QWidget *makeGeneral();
    QWidget *makeFilters();

    MailSettings &m_settings;
    MailCheck &m_check;
    Prompt &m_prompt;
    std::function<QString()> m_save;
    QTabWidget *m_tabs;
    MailListsWindow *m_lists;
    QCheckBox *m_launch;
    QCheckBox *m_sound;
    QCheckBox *m_onStart;
    QCheckBox *m_timerOn;
    ClampedNumberBox *m_minutes;
    QCheckBox *m_forward;
    QLineEdit *m_forwardTo;
    QCheckBox *m_autoDelete;
    QLineEdit *m_timeout;
    QButtonGroup *m_strength;
};

/// `frmMailOptionsBnF` "BlackList & Friends Options". "Apply" changes the options in
/// memory; the next save of the mail settings writes them.
class MailBnFOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    MailBnFOptionsDialog(MailSettings &settings, QWidget *parent = nullptr);
    void apply();
    void accept() override;

Q_SIGNALS:
    /// "Auto-Delete Blacklist items" was stored.
    void autoDeleteApplied(bool on);

private:
    MailSettings &m_settings;
    QCheckBox *m_expireBl;
    QSpinBox *m_blDays;
    QCheckBox *m_bounceBl;
    QCheckBox *m_autoBounce;
    QCheckBox *m_autoDelete;
    QCheckBox *m_hideFriend;
    QCheckBox *m_expireFr;
    QSpinBox *m_frDays;
};

/// `frmMailEditFilter` "Edit Filter": shown as the form has it; filters take no part in
/// the classification, so neither button stores anything.
class MailFilterEditor : public QDialog
{
    Q_OBJECT

public:
    explicit MailFilterEditor(QWidget *parent = nullptr);
};

} // namespace kvorn
