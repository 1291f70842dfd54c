// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "update/UpdateSession.h"

#include <QDialog>
#include <QPointer>
#include <array>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;

namespace kvorn {

class UpdateProgressStrip;

/// The update dialog (`frmFTP`): "K-Vorn Update", or "K-vorn AutoUpdate" when the program
/// opened it by itself. Seven rows (a check box, the step's caption, its picture), the
/// progress strip, the status line and log, a progress bar, "Update" and the exit button
/// ("E&xit", "&Abort" once "Update" was pressed, "Finish" at the end).
class UpdateDialog : public QDialog
{
    Q_OBJECT

public:
    /// `host` is shown in the host list.
    UpdateDialog(std::unique_ptr<UpdateSession> session, const QString &host, bool automatic,
                 QWidget *parent = nullptr);
    ~UpdateDialog() override;

    UpdateSession &session() { return *m_session; }
    /// The picture a step's row shows now.
    StepPicture stepPicture(int step) const { return m_pictures.at(std::size_t(step)); }

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void onStateChanged(UpdateSession::State state);
    void setPicture(int step, StepPicture picture);
    void setBusy(bool busy);
    void updateStartButton();

    std::unique_ptr<UpdateSession> m_session;
    std::array<QCheckBox *, UpdateSession::kStepCount> m_boxes{};
    std::array<QLabel *, UpdateSession::kStepCount> m_icons{};
    std::array<StepPicture, UpdateSession::kStepCount> m_pictures{};
    QComboBox *m_host = nullptr;
    UpdateProgressStrip *m_strip = nullptr;
    QLabel *m_status = nullptr;
    QListWidget *m_log = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_start = nullptr;
    QPushButton *m_exit = nullptr;
    QPointer<QDialog> m_mailMergeWindow;
    QPointer<QDialog> m_popupMergeWindow;
    bool m_busy = false;
};

} // namespace kvorn
