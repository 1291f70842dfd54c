// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/AddressSource.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QProcess;

namespace kvorn {

namespace addressprotocol {
class LineBuffer;
}

/// The page addresses of browser windows, read by the address reader process
/// (kvorn-address-reader) from the accessibility bus. The reader starts with the first
/// question, and only where the desktop has a session bus; its blocking calls never hold
/// up the program. A window whose reading found nothing is asked about again, less and
/// less often (a browser may show its tree late, or only once the window is used).
///
/// A reader that ends, or answers nothing for too long, is ended and started again after a
/// pause that doubles each time it fails again without having answered; after too many
/// such failures in a row no reader is started any more and addresses stay unknown.
class AddressReaderProcess final : public QObject, public AddressSource
{
    Q_OBJECT

public:
    struct Timing
    {
        /// The first new question after a reading found nothing waits this long; each
        /// further one twice as long, up to longestWaitMs.
        int firstWaitMs = 50;
        int longestWaitMs = 5000;
        /// A question unanswered for this long means the reader hangs.
        int answerTimeoutMs = 15000;
        /// The pause before the first new start after a failure; it doubles up to
        /// longestPauseMs with each further failure.
        int firstPauseMs = 1000;
        int longestPauseMs = 120000;
        /// Failures in a row (without an answer between them) after which it gives up.
        int failuresToGiveUp = 6;
        /// A window nobody asked about for this long is forgotten.
        int unusedMs = 60000;
    };

    /// `program` (with `arguments`): the reader.
    explicit AddressReaderProcess(const QString &program, QObject *parent = nullptr);
    AddressReaderProcess(const QString &program, const QStringList &arguments,
                         const Timing &timing, QObject *parent = nullptr);
    ~AddressReaderProcess() override;

    /// False where there is no session bus, and once it has given up: then nothing is
    /// asked any more.
    bool available() const { return m_available && !m_gaveUp; }
    /// True once it has given up after too many failures.
    bool gaveUp() const { return m_gaveUp; }
    /// How many questions went to the reader so far.
    std::uint64_t questions() const { return m_seq; }
    /// How many readers were started so far.
    int starts() const { return m_starts; }
    /// How many windows it keeps something for.
    int windowsKept() const { return int(m_slots.size()); }
    /// The running reader's process id, or 0.
    qint64 readerProcessId() const;

    QString known(WindowId window, const QString &title, bool &lookUpWanted) override;
    void lookUp(const BrowserWindow &window) override;
    void forget(WindowId window) override;
    std::uint64_t changeCount() const override { return m_changes; }

Q_SIGNALS:
    /// An answer arrived that changed what is known of the window's address.
    void addressChanged(WindowId window);
    /// An answer arrived for the window (whatever it said).
    void answered(WindowId window);

private:
    struct Slot
    {
        QString title;
        QString address;
        std::uint64_t seq = 0; ///< the question waiting for its answer; 0 when none waits
        bool found = false;
        qint64 nextAskMs = 0;
        int waitMs = 0;
        qint64 usedMs = 0;
    };

    bool ensureStarted();
    void readAnswers();
    void readerEnded();
    void checkAnswerTime();
    void dropUnused(qint64 now);
    void dropAbandonedBefore(std::uint64_t seq);

    QString m_program;
    QStringList m_arguments;
    Timing m_timing;
    bool m_available = false;
    bool m_gaveUp = false;
    QProcess *m_process = nullptr;
    std::unique_ptr<addressprotocol::LineBuffer> m_lines;
    qint64 m_blockedUntilMs = 0;
    int m_failures = 0;
    int m_starts = 0;
    QElapsedTimer m_clock;
    QTimer m_watchdog;
    QHash<WindowId, Slot> m_slots;
    /// When each question the reader has not answered yet was sent, by its number; also
    /// those whose answer nobody waits for any more (a new title, a window gone), so that
    /// a reader that stopped answering is noticed however often the questions change.
    QHash<std::uint64_t, qint64> m_sentMs;
    std::uint64_t m_seq = 0;
    std::uint64_t m_changes = 0;
    qint64 m_lastSweepMs = 0;
};

} // namespace kvorn
