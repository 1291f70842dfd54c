// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/AddressReaderProcess.h"

#include "platform/atspi/AddressProtocol.h"

#include <QProcess>
#include <QSet>

#include <algorithm>
#include <utility>

namespace kvorn {

namespace ap = addressprotocol;

namespace {

ap::Rect rectOf(const QRect &r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

AddressReaderProcess::AddressReaderProcess(const QString &program, QObject *parent)
    : AddressReaderProcess(program, {}, Timing{}, parent)
{
}

AddressReaderProcess::AddressReaderProcess(const QString &program, const QStringList &arguments,
                                           const Timing &timing, QObject *parent)
    : QObject(parent), m_program(program), m_arguments(arguments), m_timing(timing),
      m_lines(std::make_unique<ap::LineBuffer>())
{
    m_clock.start();
    // With no session bus libdbus would start one of its own: then nothing is asked.
    m_available = !program.isEmpty() && !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
    m_watchdog.setSingleShot(true);
    connect(&m_watchdog, &QTimer::timeout, this, &AddressReaderProcess::checkAnswerTime);
}

AddressReaderProcess::~AddressReaderProcess()
{
    if (!m_process)
        return;
    m_process->disconnect(this);
    // The reader ends when its input closes; one stuck in a call to a hung browser is ended.
    m_process->closeWriteChannel();
    if (!m_process->waitForFinished(300)) {
        m_process->kill();
        m_process->waitForFinished(300);
    }
}

qint64 AddressReaderProcess::readerProcessId() const
{
    return m_process && m_process->state() == QProcess::Running ? m_process->processId() : 0;
}

QString AddressReaderProcess::known(WindowId window, const QString &title, bool &lookUpWanted)
{
    lookUpWanted = false;
    if (!m_available)
        return {};
    const qint64 now = m_clock.elapsed();
    dropUnused(now);
    auto it = m_slots.find(window);
    if (it == m_slots.end() || it->title != title) {
        // A new window, or a new page in it: what was read before is no longer true. A
        // question still out stays counted: the reader owes its answer all the same.
        if (it != m_slots.end() && !it->address.isEmpty())
            ++m_changes;
        Slot fresh;
        fresh.title = title;
        it = m_slots.insert(window, fresh);
    }
    it->usedMs = now;
    lookUpWanted = !m_gaveUp && it->seq == 0 && !it->found && now >= it->nextAskMs &&
                   now >= m_blockedUntilMs;
    return it->address;
}

void AddressReaderProcess::lookUp(const BrowserWindow &window)
{
    if (!available())
        return;
    const qint64 now = m_clock.elapsed();
    Slot &slot = m_slots[window.window];
    if (slot.title != window.title) {
        slot = Slot{};
        slot.title = window.title;
    }
    slot.usedMs = now;
    if (slot.seq != 0)
        return;
    // A reader that could not even start has been counted as failed already.
    if (!ensureStarted() || m_process->state() == QProcess::NotRunning) {
        slot.nextAskMs = m_blockedUntilMs;
        return;
    }
    ap::Question q;
    q.seq = ++m_seq;
    q.window = window.window;
    q.pid = window.pid;
    q.geometry = rectOf(window.geometry);
    for (const QRect &twin : window.twins)
        q.twins.push_back(rectOf(twin));
    q.title = window.title.toStdString();
    const std::string line = ap::questionLine(q);
    m_process->write(line.data(), qint64(line.size()));
    slot.seq = q.seq;
    m_sentMs.insert(q.seq, now);
    if (!m_watchdog.isActive())
        m_watchdog.start(m_timing.answerTimeoutMs);
}

void AddressReaderProcess::forget(WindowId window)
{
    const auto it = m_slots.constFind(window);
    if (it == m_slots.cend())
        return;
    if (!it->address.isEmpty())
        ++m_changes;
    m_slots.erase(it);
}

bool AddressReaderProcess::ensureStarted()
{
    if (m_process && m_process->state() != QProcess::NotRunning)
        return true;
    if (m_gaveUp || m_clock.elapsed() < m_blockedUntilMs)
        return false;
    if (m_process) {
        m_process->disconnect(this);
        m_process->deleteLater();
    }
    m_lines = std::make_unique<ap::LineBuffer>();
    m_process = new QProcess(this);
    // libatspi's warnings (a browser that went away mid-call) are no news for the user.
    m_process->setStandardErrorFile(QProcess::nullDevice());
    connect(m_process, &QProcess::readyReadStandardOutput, this,
            &AddressReaderProcess::readAnswers);
    connect(m_process, &QProcess::finished, this, &AddressReaderProcess::readerEnded);
    connect(m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            readerEnded();
    });
    ++m_starts;
    m_process->start(m_program, m_arguments, QIODevice::ReadWrite);
    return true;
}

void AddressReaderProcess::readerEnded()
{
    m_watchdog.stop();
    ++m_failures;
    if (m_failures >= m_timing.failuresToGiveUp) {
        m_gaveUp = true;
    } else {
        const qint64 pause = std::min<qint64>(qint64(m_timing.firstPauseMs) << (m_failures - 1),
                                              m_timing.longestPauseMs);
        m_blockedUntilMs = m_clock.elapsed() + pause;
    }
    // The questions it took along are asked again once a new reader may start.
    m_sentMs.clear();
    for (Slot &slot : m_slots) {
        if (slot.seq != 0) {
            slot.seq = 0;
            slot.nextAskMs = m_blockedUntilMs;
        }
    }
}

void AddressReaderProcess::checkAnswerTime()
{
    if (m_sentMs.isEmpty() || !m_process || m_process->state() == QProcess::NotRunning)
        return;
    const qint64 now = m_clock.elapsed();
    const qint64 oldest = *std::min_element(m_sentMs.cbegin(), m_sentMs.cend());
    if (now - oldest < m_timing.answerTimeoutMs) {
        m_watchdog.start(int(m_timing.answerTimeoutMs - (now - oldest)));
        return;
    }
    // A reader stuck in a call to a browser that does not answer: it is ended, and the
    // end counts as a failure like any other.
    m_process->disconnect(this);
    m_process->kill();
    m_process->waitForFinished(1000);
    readerEnded();
}

void AddressReaderProcess::readAnswers()
{
    const qint64 now = m_clock.elapsed();
    const QByteArray bytes = m_process->readAllStandardOutput();
    m_lines->append(std::string_view(bytes.constData(), std::size_t(bytes.size())));
    while (const auto line = m_lines->next()) {
        const auto answer = ap::parseAnswer(*line);
        if (!answer)
            continue;
        // Any answer to a question asked shows the reader at work, even one nobody waits
        // for any more; it has also got past every question asked before it that nobody
        // waits for.
        if (m_sentMs.remove(answer->seq))
            dropAbandonedBefore(answer->seq);
        const auto it = m_slots.find(answer->window);
        // An answer for a title the window no longer shows, or a window that has gone.
        if (it == m_slots.end() || it->seq != answer->seq)
            continue;
        // The reader answers: whatever failed before is over.
        m_failures = 0;
        Slot &slot = *it;
        slot.seq = 0;
        const QString address = answer->status == ap::Status::Found
                                    ? QString::fromStdString(answer->address)
                                    : QString();
        slot.found = !address.isEmpty();
        if (!slot.found) {
            // No accessibility bus at all: no point in asking often.
            slot.waitMs = answer->status == ap::Status::Off
                              ? m_timing.longestWaitMs
                              : std::clamp(slot.waitMs * 2, m_timing.firstWaitMs,
                                           m_timing.longestWaitMs);
            slot.nextAskMs = now + slot.waitMs;
        }
        const bool changed = address != slot.address;
        if (changed) {
            slot.address = address;
            ++m_changes;
        }
        Q_EMIT answered(answer->window);
        if (changed)
            Q_EMIT addressChanged(answer->window);
    }
    if (m_sentMs.isEmpty())
        m_watchdog.stop();
}

void AddressReaderProcess::dropUnused(qint64 now)
{
    if (now - m_lastSweepMs < m_timing.unusedMs)
        return;
    m_lastSweepMs = now;
    const qint64 limit = m_timing.unusedMs;
    m_slots.removeIf([now, limit](const QHash<WindowId, Slot>::iterator it) {
        return now - it->usedMs > limit;
    });
}

void AddressReaderProcess::dropAbandonedBefore(std::uint64_t seq)
{
    QSet<std::uint64_t> awaited;
    for (const Slot &slot : std::as_const(m_slots)) {
        if (slot.seq != 0 && slot.seq < seq)
            awaited.insert(slot.seq);
    }
    m_sentMs.removeIf([&awaited, seq](const QHash<std::uint64_t, qint64>::iterator it) {
        return it.key() < seq && !awaited.contains(it.key());
    });
}

} // namespace kvorn
