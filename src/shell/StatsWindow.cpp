// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/StatsWindow.h"

#include "core/Options.h"
#include "log/KillHistory.h"
#include "log/KillLog.h"
#include "shell/KillChart.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace kvorn {

namespace {
const char *const kRowLabels[] = {"This session:", "This Month:", "This Year:",
                                  "Since installed:"};
const char *const kValueNames[] = {"lblPopSession", "lblPopMonth", "lblPopYear", "lblPopForever",
                                   "lblMailSession", "lblMailMonth", "lblMailYear",
                                   "lblMailForever"};
} // namespace

StatsWindow::StatsWindow(KillLog &log, Options &options,
                         std::function<void(const QString &)> openLog, QWidget *parent,
                         QDate today)
    : QDialog(parent), m_log(log), m_options(options), m_openLog(std::move(openLog))
{
    setObjectName(QStringLiteral("frmViewStat"));
    setWindowTitle(QStringLiteral("Stats Display"));
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);

    auto *groups = new QHBoxLayout;
    const char *captions[] = {"Killed Popups", "Blocked Mail"};
    const char *buttons[] = {"List Popup Details", "List Mail Details"};
    const char *buttonNames[] = {"cmdListPopups", "cmdListMail"};
    const QString kinds[] = {QStringLiteral("Popup"), QStringLiteral("Mail")};
    for (int g = 0; g < 2; ++g) {
        auto *box = new QGroupBox(QString::fromLatin1(captions[g]), this);
        box->setObjectName(g == 0 ? QStringLiteral("fraPopups") : QStringLiteral("fraMail"));
        auto *form = new QFormLayout(box);
        for (int r = 0; r < 4; ++r) {
            auto *value = new QLabel(box);
            value->setObjectName(QString::fromLatin1(kValueNames[g * 4 + r]));
            value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            value->setTextInteractionFlags(Qt::TextSelectableByMouse);
            form->addRow(QString::fromLatin1(kRowLabels[r]), value);
            m_values[g * 4 + r] = value;
        }
        auto *details = new QPushButton(QString::fromLatin1(buttons[g]), box);
        details->setObjectName(QString::fromLatin1(buttonNames[g]));
        connect(details, &QPushButton::clicked, this, [this, kind = kinds[g]] { listDetails(kind); });
        form->addRow(details);
        groups->addWidget(box);
    }
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("cmdClose"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto *row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(close);
    m_chart = new KillChart(this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(groups);
    layout->addWidget(m_chart, 1);
    layout->addLayout(row);

    refresh();

    // The counters keep no history: the chart comes from the log, read in the background.
    auto progress = std::make_shared<KillLogProgress>();
    auto history = std::make_shared<KillHistory>();
    m_reading = progress;
    QThread *thread = QThread::create([path = m_log.logFilePath(), today, progress, history] {
        *history = countKillHistoryFile(path, today, progress.get());
    });
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    connect(thread, &QThread::finished, this, [this, history] {
        m_reading.reset();
        m_chart->setHistory(*history);
        Q_EMIT historyRead();
    });
    thread->start(QThread::LowPriority);
}

StatsWindow::~StatsWindow()
{
    if (m_reading)
        m_reading->cancel = true;
}

StatsWindow *StatsWindow::open(KillLog &log, Options &options,
                               std::function<void(const QString &)> openLog, QWidget *parent)
{
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (auto *window = qobject_cast<StatsWindow *>(w)) {
            window->refresh();
            window->show();
            window->raise();
            window->activateWindow();
            return window;
        }
    }
    auto *window = new StatsWindow(log, options, std::move(openLog), parent);
    window->show();
    return window;
}

void StatsWindow::refresh()
{
    // A program that ran across a month end would otherwise show last month's count.
    m_log.rollOverCounters();
    const KillCounters &mail = m_log.mailCounters();
    const qint64 shown[] = {m_log.KilledPops(), m_options.LogMonth, m_options.LogYear,
                            m_options.LogForever,   m_log.KilledMail(), mail.LogMonth,
                            mail.LogYear,           mail.LogForever};
    for (int i = 0; i < 8; ++i)
        m_values[i]->setText(QString::number(shown[i]));
}

QStringList StatsWindow::values() const
{
    QStringList texts;
    for (const QLabel *label : m_values)
        texts.append(label->text());
    return texts;
}

void StatsWindow::listDetails(const QString &kind)
{
    if (m_openLog)
        m_openLog(kind);
    close();
}

} // namespace kvorn
