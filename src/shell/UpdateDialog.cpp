// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/UpdateDialog.h"

#include "shell/DialogWidgets.h"
#include "shell/ExtendedErrorWindow.h"
#include "shell/MergeWindows.h"
#include "shell/UpdateProgressStrip.h"
#include "update/DownloadMerge.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace kvorn {

namespace {
// The log is there to look back a little, not to hold every progress step of a transfer.
constexpr int kLogLines = 500;
const QString kProgressLine = QStringLiteral("Downloading   ");

QIcon pictureIcon(StepPicture picture)
{
    QStyle *style = QApplication::style();
    switch (picture) {
    case StepPicture::Done:
        return style->standardIcon(QStyle::SP_DialogApplyButton);
    case StepPicture::InProgress:
        return style->standardIcon(QStyle::SP_BrowserReload);
    case StepPicture::Skipped:
        return style->standardIcon(QStyle::SP_DialogCancelButton);
    }
    return {};
}
} // namespace

UpdateDialog::UpdateDialog(std::unique_ptr<UpdateSession> session, const QString &host,
                           bool automatic, QWidget *parent)
    : QDialog(parent), m_session(std::move(session))
{
    setObjectName(QStringLiteral("frmFTP"));
    setWindowTitle(automatic ? QStringLiteral("K-vorn AutoUpdate") : QStringLiteral("K-Vorn Update"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto *rows = new QGridLayout;
    for (int step = 0; step < UpdateSession::kStepCount; ++step) {
        auto *box = new QCheckBox(this);
        box->setObjectName(QStringLiteral("ckOption") + QString::number(step));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this, step](bool on) {
            m_session->setStepTicked(step, on);
            updateStartButton();
        });
        auto *caption = new QLabel(UpdateSession::stepCaption(step), this);
        caption->setObjectName(QStringLiteral("Label4_") + QString::number(step));
        auto *icon = new QLabel(this);
        icon->setObjectName(QStringLiteral("Image1_") + QString::number(step));
        m_boxes[std::size_t(step)] = box;
        m_icons[std::size_t(step)] = icon;
        rows->addWidget(box, step, 0);
        rows->addWidget(caption, step, 1);
        rows->addWidget(icon, step, 2);
        setPicture(step, StepPicture::InProgress);
    }
    rows->setColumnStretch(1, 1);

    m_host = new QComboBox(this);
    m_host->setObjectName(QStringLiteral("Combo"));
    m_host->addItem(host);
    m_host->setCurrentIndex(0);
    m_strip = new UpdateProgressStrip(this);
    m_strip->setObjectName(QStringLiteral("tbFlood"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("lblStatus"));
    m_status->setTextFormat(Qt::PlainText);
    // A long status text is cut at the edge instead of widening the dialog.
    m_status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_log = new QListWidget(this);
    m_log->setObjectName(QStringLiteral("List2"));
    m_log->setMaximumHeight(90);
    m_log->setUniformItemSizes(true);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setVisible(false);
    m_start = widgets::button(QStringLiteral("Update"), "cmdStart", this);
    m_exit = widgets::button(QStringLiteral("E&xit"), "cmdExit", this);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_start);
    buttons->addWidget(m_exit);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_host);
    layout->addLayout(rows);
    layout->addWidget(m_strip);
    layout->addWidget(m_progress);
    layout->addWidget(m_status);
    layout->addWidget(m_log);
    layout->addLayout(buttons);

    UpdateSession *s = m_session.get();
    connect(&s->statusLog(), &UpdateStatusLog::lineAdded, this, [this](const QString &text) {
        m_status->setText(text);
        // One line per received chunk would pile up thousands of rows: the progress of a
        // transfer stays in one row that is brought up to date.
        QListWidgetItem *top = m_log->item(0);
        if (top && text.startsWith(kProgressLine) && top->text().startsWith(kProgressLine)) {
            top->setText(text);
            return;
        }
        m_log->insertItem(0, text);
        while (m_log->count() > kLogLines)
            delete m_log->takeItem(m_log->count() - 1);
    });
    connect(s, &UpdateSession::stateChanged, this, &UpdateDialog::onStateChanged);
    connect(s, &UpdateSession::stepPictureChanged, this, &UpdateDialog::setPicture);
    connect(s, &UpdateSession::progressRangeChanged, m_progress, [this](int maximum) {
        m_progress->setRange(0, maximum);
    });
    connect(s, &UpdateSession::progressChanged, m_progress, &QProgressBar::setValue);
    connect(s, &UpdateSession::busyChanged, this, &UpdateDialog::setBusy);
    connect(s, &UpdateSession::fetchStarted, m_strip, &UpdateProgressStrip::FloodDisplay);
    connect(s, &UpdateSession::fetchProgress, m_strip, &UpdateProgressStrip::FloodUpdateTextPC);
    connect(s, &UpdateSession::stripText, m_strip, &UpdateProgressStrip::FloodShowConnectAction);
    connect(s, &UpdateSession::transferResult, m_strip,
            &UpdateProgressStrip::FloodShowTransferResult);
    connect(s, &UpdateSession::extendedError, this,
            [this](const QString &text) { ExtendedErrorWindow::open(text, this); });
    connect(s, &UpdateSession::popupMergeStarting, this, [this](PopupUpdateMerge *merge) {
        auto *window = new PopupMergeWindow(*merge, this);
        m_popupMergeWindow = window;
        window->show();
    });
    connect(s, &UpdateSession::popupMergeEnded, this, [this] {
        if (m_popupMergeWindow)
            m_popupMergeWindow->close();
    });
    connect(s, &UpdateSession::mailMergeStarting, this, [this](MailDownloadMerge *merge) {
        auto *window = new MailMergeWindow(*merge, this);
        m_mailMergeWindow = window;
        window->show();
    });
    connect(s, &UpdateSession::mailMergeEnded, this, [this](bool closeWindow) {
        // With an empty blacklist the window stays for the user to close.
        if (closeWindow && m_mailMergeWindow)
            m_mailMergeWindow->close();
    });

    connect(m_start, &QPushButton::clicked, this, [this] {
        for (int step = 0; step < UpdateSession::kStepCount; ++step)
            m_session->setStepTicked(step, m_boxes[std::size_t(step)]->isChecked());
        m_session->start();
    });
    connect(m_exit, &QPushButton::clicked, this, &QDialog::close);
    m_status->clear();
    updateStartButton();
}

UpdateDialog::~UpdateDialog()
{
    setBusy(false);
}

void UpdateDialog::closeEvent(QCloseEvent *event)
{
    // A transfer under way is stopped first; the session then closes its connection.
    m_session->abort();
    setBusy(false);
    QDialog::closeEvent(event);
}

void UpdateDialog::setPicture(int step, StepPicture picture)
{
    if (step < 0 || step >= UpdateSession::kStepCount)
        return;
    m_pictures[std::size_t(step)] = picture;
    QLabel *icon = m_icons[std::size_t(step)];
    icon->setPixmap(pictureIcon(picture).pixmap(16, 16));
    icon->setProperty("picture", int(picture));
}

void UpdateDialog::setBusy(bool busy)
{
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void UpdateDialog::onStateChanged(UpdateSession::State state)
{
    switch (state) {
    case UpdateSession::State::Ready:
        m_exit->setText(QStringLiteral("E&xit"));
        break;
    case UpdateSession::State::Connecting:
    case UpdateSession::State::ConnectionRefused:
        m_exit->setText(QStringLiteral("&Abort"));
        m_host->setEnabled(false);
        break;
    case UpdateSession::State::Running:
        m_exit->setText(QStringLiteral("&Abort"));
        m_host->setEnabled(false);
        m_progress->setVisible(true);
        m_strip->setVisible(false);
        for (QCheckBox *box : m_boxes)
            box->setVisible(false);
        break;
    case UpdateSession::State::Finished:
        m_progress->setVisible(false);
        m_strip->setVisible(true);
        m_exit->setText(QStringLiteral("Finish"));
        break;
    case UpdateSession::State::Stopped:
        m_progress->setVisible(false);
        m_strip->setVisible(true);
        m_exit->setText(QStringLiteral("E&xit"));
        break;
    }
    updateStartButton();
}

void UpdateDialog::updateStartButton()
{
    m_start->setEnabled(m_session->canStart());
}

} // namespace kvorn
