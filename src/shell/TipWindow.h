// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;
class QRandomGenerator;

namespace kvorn {

class SettingsStore;
struct Options;

/// The tip window `frmTip` ("Tip of the Day"): a tip picked at random from "TIPOFDAY.TXT"
/// in the program folder, and the choice whether tips show at start-up.
class TipWindow : public QDialog
{
    Q_OBJECT

public:
    /// `random` picks the tips (tests hand in a seeded one); null uses the global one.
    TipWindow(SettingsStore &store, Options &options, QString programFolder,
              QRandomGenerator *random = nullptr, QWidget *parent = nullptr);

    /// Opens the window, or raises the open one with a new tip.
    static TipWindow *open(SettingsStore &store, Options &options, const QString &programFolder,
                           QRandomGenerator *random = nullptr);
    /// True when the window is to open at start-up: "TipofDay" is on and the check box was
    /// not unticked since (an untick is stored at once, "TipofDay" only by "OK").
    static bool wantedAtStartup(const SettingsStore &store, const Options &options);

    /// The tip shown now.
    QString tipText() const;
    /// Loads the tips file again and shows a tip.
    void loadTips();
    /// "&Next Tip".
    void nextTip();

private:
    void checkBoxClicked(bool checked);
    void okClicked();

    SettingsStore &m_store;
    Options &m_options;
    QString m_programFolder;
    QRandomGenerator *m_random;
    QStringList m_tips;
    QLabel *m_tip = nullptr;
    QCheckBox *m_showAtStartup = nullptr;
};

} // namespace kvorn
