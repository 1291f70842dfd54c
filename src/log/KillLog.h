// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "log/KillCounters.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdint>

namespace kvorn {

struct Options;
class MainController;
class Clock;

/// The kill log and the kill counters: one record per closed popup or deleted message,
/// appended to "k-vorn.log" the moment it is made, and the session, month, year and
/// since-installed counts for popups (in the options record) and for mail.
class KillLog : public QObject
{
    Q_OBJECT

public:
    /// Lines kept for a later attempt while the file cannot be written; beyond this the
    /// oldest go, so that a file that never becomes writable cannot eat the memory.
    static constexpr int kMaxHeldLines = 100000;

    KillLog(Options &options, MainController &controller, Clock &clock, QString programFolder,
            QObject *parent = nullptr);
    /// How long records that could not be written wait before they are tried again on
    /// their own (the next record tries them at once).
    static constexpr int kRetryMs = 10000;
    ~KillLog() override;

    /// "k-vorn.log" in the program folder.
    QString logFilePath() const { return m_path; }

    /// Adds one record ("Popup" or "Mail", the killed item, the filter applied); the date
    /// and time are taken now. With "StoreLog" on it is appended to the file at once,
    /// after any records an earlier attempt could not write; what fails is kept for the
    /// next attempt and never written twice.
    void WriteLogEntry(const QString &kind, const QString &item, const QString &filter);
    /// Appends the records still held back (when "StoreLog" is on). True when nothing is
    /// left pending.
    bool FlushLog();

    /// One closed popup: counters, the log record, "Popups Killed: " in the status bar.
    void countPopupKill(const QString &title, const QString &blackListEntry);
    /// One message deleted on the server: counters, the log record, "Mail Deleted: ".
    void countMailDeletion(const QString &sender, const QString &blacklistColumn);

    /// The rollover of the popup counters and then the mail counters: at start-up, before
    /// every count and whenever the counters are shown, as the program runs for weeks.
    void rollOverCounters();

    /// This session's counts; never reset while the program runs.
    std::int64_t KilledPops() const { return m_killedPops; }
    std::int64_t KilledMail() const { return m_killedMail; }
    /// The mail counter set; the mail settings load and save it.
    KillCounters &mailCounters() { return m_mail; }
    const KillCounters &mailCounters() const { return m_mail; }

    /// Records that could not be written yet, oldest first.
    const QList<QStringList> &heldLines() const { return m_held; }
    /// What went wrong the last time the file could not be written; empty after a success.
    QString lastError() const { return m_lastError; }

Q_SIGNALS:
    /// The log file could not be written; the records are kept for the next attempt.
    /// Said once for a run of failures with the same reason, not for every record.
    void writeFailed(const QString &error);
    /// The file could be written again after a failure; nothing is held back any more.
    void writeRecovered();
    /// A popup was closed or a message deleted ("Popup" or "Mail", the killed item).
    void killCounted(const QString &kind, const QString &item);

private:
    bool writeOut(QList<QStringList> lines);

    Options &m_options;
    MainController &m_controller;
    Clock &m_clock;
    QString m_path;
    QList<QStringList> m_held;
    QTimer m_retry;
    QString m_lastError;
    std::int64_t m_killedPops = 0;
    std::int64_t m_killedMail = 0;
    KillCounters m_mail;
};

} // namespace kvorn
