// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDate>
#include <QDialog>
#include <functional>
#include <memory>

class QLabel;

namespace kvorn {

class KillChart;
class KillLog;
struct KillLogProgress;
struct Options;

/// The statistics window `frmViewStat` ("Stats Display"): the kill counters for popups
/// and for mail as they were when it opened, and the way to the log display of either.
class StatsWindow : public QDialog
{
    Q_OBJECT

public:
    /// `openLog` opens the log display for "Popup" or "Mail".
    /// The chart of the kills is counted from the log up to `today`, off the window's thread.
    StatsWindow(KillLog &log, Options &options, std::function<void(const QString &)> openLog,
                QWidget *parent = nullptr, QDate today = QDate::currentDate());
    ~StatsWindow() override;

    /// Opens the window, or raises the open one with the values read again.
    static StatsWindow *open(KillLog &log, Options &options,
                             std::function<void(const QString &)> openLog,
                             QWidget *parent = nullptr);

    /// Reads the counters again (after rolling them over to this month).
    void refresh();
    /// The shown values, top to bottom, popups then mail (for tests).
    QStringList values() const;
    KillChart *chart() const { return m_chart; }

Q_SIGNALS:
    /// The chart has its figures.
    void historyRead();

private:
    void listDetails(const QString &kind);

    KillLog &m_log;
    Options &m_options;
    std::function<void(const QString &)> m_openLog;
    QLabel *m_values[8] = {};
    KillChart *m_chart = nullptr;
    std::shared_ptr<KillLogProgress> m_reading;
};

} // namespace kvorn
