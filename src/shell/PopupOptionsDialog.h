// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "core/Options.h"

#include <QDialog>
#include <QHash>

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;

namespace kvorn {

class Prompt;
class RegistryFunctions;

/// The popup options dialog `frmOptions` ("K-Vorn Popup Options"). It edits the options
/// record in memory; the settings are written when the program saves them.
class PopupOptionsDialog : public QDialog
{
    Q_OBJECT

public:
    PopupOptionsDialog(Options &options, Prompt &prompt, const RegistryFunctions &registry,
                       QWidget *parent = nullptr);

    /// The check box that edits a key ("StartWithWindows"), or null.
    QCheckBox *checkBox(const QString &key) const { return m_checks.value(key); }

    /// Where the keyboard of other programs cannot be read (Wayland), the options that act on
    /// key presses are shown disabled, with `reason` above the buttons.
    void setKeysUnavailable(const QString &reason);

    /// "Apply": copies every control into the record; closes unless the custom title is
    /// ticked and empty.
    void apply();
    /// "Default": the browser's own window title into the custom title box.
    void defaultTitle();
    /// "Cancel" and closing the window: the record as it was when the dialog opened.
    void reject() override;

private:
    void load();
    void applyRules();
    static void copyEdited(const Options &from, Options &to);

    Options &m_options;
    Prompt &m_prompt;
    const RegistryFunctions &m_registry;
    Options m_opened;
    QHash<QString, QCheckBox *> m_checks;
    QLabel *m_keysOff = nullptr;
    QTabWidget *m_tabs = nullptr;
    QLineEdit *m_homePage = nullptr;
    QLineEdit *m_customTitle = nullptr;
    QSpinBox *m_days = nullptr;
    QRadioButton *m_addAddress = nullptr;
    QRadioButton *m_addTitle = nullptr;
    QLineEdit *m_password = nullptr;
    QSlider *m_speed = nullptr;
    QSpinBox *m_windows = nullptr;
    QCheckBox *m_customSpeed = nullptr;
    QSlider *m_customSlider = nullptr;
    QCheckBox *m_detectSafeMode = nullptr;
    QCheckBox *m_listSafeMode = nullptr;
};

} // namespace kvorn
