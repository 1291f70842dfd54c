#pragma once

#include "log/KillCounters.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>

namespace kvorn {

struct Options;
class MainController;
class Clock;

/// The kill log and the kill counters: one record per closed popup or deleted message,
/// written to "k-vorn.log" in batches of 30, and the session, month, year and
/// since-installed counts for popups (in the options record) and for mail.
class KillLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kSlots = 30;
    /// Lines kept for a later attempt while the file cannot be written; beyond this the
    /// oldest go, so that a file that never becomes writable cannot eat the memory.
    static constexpr int kMaxHeldLines = 100000;

    KillLog(Options &options, MainController &controller, Clock &clock, QString programFolder,
            QObject *parent = nullptr);
    ~KillLog() override;

    /// "k-vorn.log" in the program folder.
    QString logFilePath() const { return m_path; }

    /// Adds one record ("Popup" or "Mail", the killed item, the filter applied); the date
    /// and time are taken now. Every 30th record writes the batch.
    void WriteLogEntry(const QString &kind, const QString &item, const QString &filter);
    /// Appends the pending lines to the file (when "StoreLog" is on). True when nothing
    /// is left pending.
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

    /// The fill count (0 to 30) and the slots, for the statistics and for tests.
    int fillCount() const { return m_fill; }
    const std::array<QStringList, kSlots> &slots() const { return m_slots; }
    /// Lines of earlier batches that could not be written yet.
    const QList<QStringList> &heldLines() const { return m_held; }
    /// What went wrong the last time the file could not be written; empty after a success.
    QString lastError() const { return m_lastError; }

Q_SIGNALS:
    /// The log file could not be written; the lines are kept for the next attempt.
    void writeFailed(const QString &error);
    /// A popup was closed or a message deleted ("Popup" or "Mail", the killed item).
    void killCounted(const QString &kind, const QString &item);

private:
    bool writeOut(QList<QStringList> lines);

    Options &m_options;
    MainController &m_controller;
    Clock &m_clock;
    QString m_path;
    std::array<QStringList, kSlots> m_slots; // the four fields of each pending line
    int m_fill = 0;
    QList<QStringList> m_held;
    QString m_lastError;
    std::int64_t m_killedPops = 0;
    std::int64_t m_killedMail = 0;
    KillCounters m_mail;
};

} // namespace kvorn
