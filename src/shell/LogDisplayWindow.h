// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/KillLogReader.h"

#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeView;

namespace kvorn {

class KillLogCountModel;
class KillLogRecordModel;
struct LogReading;

/// The log display `frmLogDisplay` ("Log File Display") for one kind, "Popup" or "Mail":
/// the records of that kind from the kill log, and on "Analyse" their count per filter
/// entry. The log is read off the window's thread, so a log of years stays usable.
class LogDisplayWindow : public QDialog
{
    Q_OBJECT

public:
    LogDisplayWindow(QString logFile, QString kind, bool autoColumn, QWidget *parent = nullptr);
    ~LogDisplayWindow() override;

    /// Opens the window of this kind, or raises the open one and reads the log again.
    static LogDisplayWindow *open(const QString &logFile, const QString &kind, bool autoColumn,
                                  QWidget *parent = nullptr);

    QString kind() const { return m_kind; }
    /// True while the log is being read.
    bool isReading() const { return bool(m_reading); }
    /// Reads the record list again.
    void reload();

Q_SIGNALS:
    /// A reading ended (the lists show its result or its error).
    void readingFinished();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void start(bool analyse);
    void finished(bool analyse, std::shared_ptr<KillLogRead> result);
    void cancelReading();
    void clearRecords();
    void analyseClicked();
    void showAnalysis(bool on);
    void updateProgress();
    void rankInBackground();
    static void fitColumns(QTreeView *view);

    QString m_logFile;
    QString m_kind;
    bool m_autoColumn;
    KillLogRecordModel *m_records = nullptr;
    KillLogCountModel *m_counts = nullptr;
    QTreeView *m_recordView = nullptr;
    QTreeView *m_countView = nullptr;
    QPushButton *m_analyse = nullptr;
    QLabel *m_message = nullptr;
    QProgressBar *m_progress = nullptr;
    QTimer *m_progressTimer = nullptr;
    std::shared_ptr<LogReading> m_reading;
    int m_generation = 0;
};

} // namespace kvorn
