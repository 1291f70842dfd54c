#pragma once

#include "platform/AddressSource.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QString>

class QProcess;

namespace kvorn {

/// The page addresses of browser windows, read by the address reader process
/// (kvorn-address-reader) from the accessibility bus. The reader starts with the first
/// question, and only where the desktop has a session bus; its blocking calls never hold
/// up the program. A window whose reading found nothing is asked about again, less and
/// less often (a browser may show its tree late, or only once the window is used).
class AddressReaderProcess final : public QObject, public AddressSource
{
    Q_OBJECT

public:
    /// The first new question after a reading found nothing waits this long; each further
    /// one twice as long, up to kLongestWaitMs.
    static constexpr int kFirstWaitMs = 50;
    static constexpr int kLongestWaitMs = 5000;

    /// `program`: the reader's path.
    explicit AddressReaderProcess(const QString &program, QObject *parent = nullptr);
    ~AddressReaderProcess() override;

    /// False where there is no session bus: then nothing is ever asked.
    bool available() const { return m_available; }
    /// How many questions went to the reader so far.
    std::uint64_t questions() const { return m_seq; }

    QString known(WindowId window, const QString &title, bool &lookUpWanted) override;
    void lookUp(const BrowserWindow &window) override;
    void forget(WindowId window) override;
    std::uint64_t changeCount() const override { return m_changes; }

Q_SIGNALS:
    /// An answer arrived that changed what is known of the window's address.
    void addressChanged(WindowId window);

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
    void dropUnused(qint64 now);

    QString m_program;
    bool m_available = false;
    QProcess *m_process = nullptr;
    qint64 m_blockedUntilMs = 0;
    QElapsedTimer m_clock;
    QHash<WindowId, Slot> m_slots;
    std::uint64_t m_seq = 0;
    std::uint64_t m_changes = 0;
    qint64 m_lastSweepMs = 0;
};

} // namespace kvorn
