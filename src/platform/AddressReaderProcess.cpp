#include "platform/AddressReaderProcess.h"

#include "platform/atspi/AddressProtocol.h"

#include <QProcess>

#include <algorithm>

namespace kvorn {

namespace ap = addressprotocol;

namespace {

// After the reader failed to start or ended, no new one is started for this long.
constexpr qint64 kRestartPauseMs = 5000;
// Windows nobody asked about for this long are dropped (their window has gone unnoticed).
constexpr qint64 kUnusedMs = 60000;

ap::Rect rectOf(const QRect &r)
{
    return {r.x(), r.y(), r.width(), r.height()};
}

} // namespace

AddressReaderProcess::AddressReaderProcess(const QString &program, QObject *parent)
    : QObject(parent), m_program(program)
{
    m_clock.start();
    // With no session bus libdbus would start one of its own: then nothing is asked.
    m_available = !program.isEmpty() && !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
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

QString AddressReaderProcess::known(WindowId window, const QString &title, bool &lookUpWanted)
{
    lookUpWanted = false;
    if (!m_available)
        return {};
    const qint64 now = m_clock.elapsed();
    auto it = m_slots.find(window);
    if (it == m_slots.end() || it->title != title) {
        // A new window, or a new page in it: what was read before is no longer true.
        if (it != m_slots.end() && !it->address.isEmpty())
            ++m_changes;
        Slot fresh;
        fresh.title = title;
        it = m_slots.insert(window, fresh);
    }
    it->usedMs = now;
    lookUpWanted = it->seq == 0 && !it->found && now >= it->nextAskMs;
    return it->address;
}

void AddressReaderProcess::lookUp(const BrowserWindow &window)
{
    if (!m_available)
        return;
    const qint64 now = m_clock.elapsed();
    dropUnused(now);
    Slot &slot = m_slots[window.window];
    if (slot.title != window.title) {
        slot = Slot{};
        slot.title = window.title;
    }
    slot.usedMs = now;
    if (!ensureStarted()) {
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
    if (m_clock.elapsed() < m_blockedUntilMs)
        return false;
    delete m_process;
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
    m_process->start(m_program, QStringList{}, QIODevice::ReadWrite);
    return true;
}

void AddressReaderProcess::readerEnded()
{
    // The questions it took along are asked again once a new reader may start.
    m_blockedUntilMs = m_clock.elapsed() + kRestartPauseMs;
    for (Slot &slot : m_slots) {
        if (slot.seq != 0) {
            slot.seq = 0;
            slot.nextAskMs = m_blockedUntilMs;
        }
    }
}

void AddressReaderProcess::readAnswers()
{
    const qint64 now = m_clock.elapsed();
    while (m_process->canReadLine()) {
        QByteArray line = m_process->readLine();
        line.chop(1);
        const auto answer = ap::parseAnswer(std::string_view(line.constData(), line.size()));
        if (!answer)
            continue;
        const auto it = m_slots.find(answer->window);
        // An answer for a title the window no longer shows, or a window that has gone.
        if (it == m_slots.end() || it->seq != answer->seq)
            continue;
        Slot &slot = *it;
        slot.seq = 0;
        const QString address = answer->status == ap::Status::Found
                                    ? QString::fromStdString(answer->address)
                                    : QString();
        slot.found = !address.isEmpty();
        if (!slot.found) {
            // No accessibility bus at all: no point in asking often.
            slot.waitMs = answer->status == ap::Status::Off
                              ? kLongestWaitMs
                              : std::clamp(slot.waitMs * 2, kFirstWaitMs, kLongestWaitMs);
            slot.nextAskMs = now + slot.waitMs;
        }
        if (address != slot.address) {
            slot.address = address;
            ++m_changes;
            Q_EMIT addressChanged(answer->window);
        }
    }
}

void AddressReaderProcess::dropUnused(qint64 now)
{
    if (now - m_lastSweepMs < kUnusedMs)
        return;
    m_lastSweepMs = now;
    m_slots.removeIf([now](const QHash<WindowId, Slot>::iterator it) {
        return it->seq == 0 && now - it->usedMs > kUnusedMs;
    });
}

} // namespace kvorn
