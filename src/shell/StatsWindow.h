#pragma once

#include <QDialog>
#include <functional>

class QLabel;

namespace kvorn {

class KillLog;
struct Options;

/// The statistics window `frmViewStat` ("Stats Display"): the kill counters for popups
/// and for mail as they were when it opened, and the way to the log display of either.
class StatsWindow : public QDialog
{
    Q_OBJECT

public:
    /// `openLog` opens the log display for "Popup" or "Mail".
    StatsWindow(KillLog &log, Options &options, std::function<void(const QString &)> openLog,
                QWidget *parent = nullptr);

    /// Opens the window, or raises the open one with the values read again.
    static StatsWindow *open(KillLog &log, Options &options,
                             std::function<void(const QString &)> openLog,
                             QWidget *parent = nullptr);

    /// Reads the counters again (after rolling them over to this month).
    void refresh();
    /// The shown values, top to bottom, popups then mail (for tests).
    QStringList values() const;

private:
    void listDetails(const QString &kind);

    KillLog &m_log;
    Options &m_options;
    std::function<void(const QString &)> m_openLog;
    QLabel *m_values[8] = {};
};

} // namespace kvorn
