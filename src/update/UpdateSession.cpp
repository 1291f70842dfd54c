// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/UpdateSession.h"

#include "core/DateText.h"
#include "core/MainController.h"
#include "core/Options.h"
#include "core/Prompt.h"
#include "core/SettingsStore.h"
#include "core/TextFile.h"
#include "core/WeekCode.h"
#include "mail/MailLists.h"
#include "platform/Clock.h"
#include "popups/PopupLists.h"
#include "update/DownloadMerge.h"
#include "update/FtpWorker.h"
#include "update/UpdateSignature.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>

namespace kvorn {

namespace {
const QString kVersionFile = QStringLiteral("version.txt");
const QString kMessageFile = QStringLiteral("message.txt");
const QString kPopupDump = QStringLiteral("Popups.dmp");
const QString kMailDump = QStringLiteral("mail.dmp");
const QString kUpdateTitle = QStringLiteral("K-Vorn Update");

// The most bytes each kind of file may have; a larger one is given up as it arrives.
constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kListMaxBytes = 16 * kMiB;
constexpr qint64 kProgramMaxBytes = 256 * kMiB;
constexpr qint64 kTextMaxBytes = 64 * 1024;
constexpr qint64 kSignatureMaxBytes = 4096;

bool startDetached(const QString &path, const QString &folder)
{
    // Run as a program, never handed to the desktop's opener (which would show a binary
    // in a viewer, or do nothing).
    return QProcess::startDetached(path, {}, folder);
}
} // namespace

QString updateInstallationId(SettingsStore &store)
{
    const QString key = QStringLiteral("InstallId");
    QString id = store.read(kUpdateSection, key, QString()).trimmed();
    bool digits = id.size() == 18;
    for (const QChar c : std::as_const(id))
        digits = digits && c.isDigit() && c.unicode() < 128;
    if (digits)
        return id;
    id.clear();
    QRandomGenerator *random = QRandomGenerator::system();
    id.append(QChar(u'1' + char16_t(random->bounded(9))));
    while (id.size() < 18)
        id.append(QChar(u'0' + char16_t(random->bounded(10))));
    store.write(kUpdateSection, key, id);
    store.save();
    return id;
}

QStringList versionFileFields(const QString &text)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    const auto endField = [&] {
        fields.append(wasQuoted ? field : field.trimmed());
        field.clear();
        wasQuoted = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"'))
                quoted = false;
            else
                field.append(c);
        } else if (c == QLatin1Char('"') && field.trimmed().isEmpty()) {
            quoted = true;
            wasQuoted = true;
            field.clear();
        } else if (c == QLatin1Char(',') || c == QLatin1Char('\n')) {
            endField();
        } else if (c == QLatin1Char('\r')) {
            if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            endField();
        } else if (!wasQuoted) {
            field.append(c);
        }
    }
    if (wasQuoted || !field.trimmed().isEmpty())
        endField();
    return fields;
}

namespace {
QString countersText(const MergeCounters &c)
{
    QString text = QStringLiteral("%1 added, %2 skipped").arg(c.added).arg(c.skipped);
    if (c.tooBroad > 0)
        text += QStringLiteral(", %1 refused as too broad").arg(c.tooBroad);
    if (c.malformed > 0)
        text += QStringLiteral(", %1 refused as malformed").arg(c.malformed);
    return text;
}
} // namespace

QString UpdateSession::failureText(const FtpJobResult::Failure &failure)
{
    if (failure.error == kFtpFileTooLarge)
        return QStringLiteral("%1 is larger than the %2 bytes it may have; it was not fetched "
                              "and nothing of it is used.")
            .arg(failure.name)
            .arg(maxBytesOf(failure.name));
    QString text = QStringLiteral("Transfer of %1 failed: %2")
                       .arg(failure.name, InternetErrorText(failure.error, failure.response));
    if (failure.error != 12003 && !failure.message.isEmpty())
        text += QStringLiteral(" (") + failure.message + QLatin1Char(')');
    return text;
}

QString UpdateSession::stepCaption(int step)
{
    static const std::array<const char *, kStepCount> captions = {
        "Check for Program Update",   "Download Popup list Update", "Upload Popup Blacklist Adds",
        "Download Mail Update List",  "Upload Mail Blacklist adds", "Merge Popup Updates",
        "Merge Mail Database"};
    return step >= 0 && step < kStepCount ? QString::fromLatin1(captions[std::size_t(step)])
                                          : QString();
}

UpdateSession::UpdateSession(Services services, Config config, QObject *parent)
    : QObject(parent), m_s(services), m_config(std::move(config))
{
    qRegisterMetaType<FtpJobResult>();
    qRegisterMetaType<FtpStatusEvent>();
    m_ticked.fill(true);
    m_log.StatusDetail = true;
    if (!m_config.startProgram)
        m_config.startProgram = startDetached;
}

UpdateSession::~UpdateSession()
{
    if (m_worker) {
        m_client->abort();
        FtpWorker *worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker] { worker->close(); }, Qt::QueuedConnection);
        m_thread.quit();
        m_thread.wait();
        delete m_worker;
    }
    endTimersPause();
}

void UpdateSession::setStepTicked(int step, bool ticked)
{
    if (step >= 0 && step < kStepCount)
        m_ticked[std::size_t(step)] = ticked;
}

int UpdateSession::tickedCount() const
{
    return int(std::count(m_ticked.begin(), m_ticked.end(), true));
}

void UpdateSession::setState(State state)
{
    m_state = state;
    Q_EMIT stateChanged(state);
}

qint64 UpdateSession::maxBytesOf(const QString &name)
{
    if (name == kVersionFile || name == kMessageFile)
        return kTextMaxBytes;
    if (name == kPopupUpdateFile || isWeeklyMailListName(name))
        return kListMaxBytes;
    if (name.endsWith(QStringLiteral(".sig"), Qt::CaseInsensitive))
        return kSignatureMaxBytes;
    return kProgramMaxBytes;
}

QString UpdateSession::downloadFolder() const
{
    return QDir(m_config.programFolder).filePath(kUpdateDownloadFolder);
}

QString UpdateSession::localPath(const QString &name) const
{
    return QDir(downloadFolder()).filePath(name);
}

bool UpdateSession::uploadsWanted() const
{
    // Only this one stored text switches the sending of the user's additions on.
    return m_lastUpdateText == QLatin1String("01/01/03");
}

QStringList UpdateSession::ownFileNames() const
{
    return programOwnFileNames();
}

// --- progress ------------------------------------------------------------------------------

void UpdateSession::setProgressRange(int maximum)
{
    // A range of 0 would stand for "busy" and leave nothing to measure against.
    m_progressMax = std::max(1, maximum);
    Q_EMIT progressRangeChanged(m_progressMax);
    setProgress(std::min(m_progress, m_progressMax));
}

void UpdateSession::setProgress(int value)
{
    m_progress = std::clamp(value, 0, m_progressMax);
    Q_EMIT progressChanged(m_progress);
}

// --- the worker ----------------------------------------------------------------------------

void UpdateSession::runJob(std::function<void(FtpWorker &)> job, Continuation next)
{
    m_next = std::move(next);
    m_jobRunning = true;
    FtpWorker *worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, job = std::move(job)] { job(*worker); }, Qt::QueuedConnection);
}

void UpdateSession::onJobDone(const FtpJobResult &result)
{
    m_jobRunning = false;
    if (m_state != State::Connecting && m_state != State::Running)
        return;
    Continuation next = std::move(m_next);
    m_next = nullptr;
    if (next)
        next(result);
}

void UpdateSession::noteResult(const FtpJobResult &result)
{
    if (!result.ok)
        m_transfersOk = false;
}

void UpdateSession::onStatusEvent(const FtpStatusEvent &event)
{
    if (m_state != State::Connecting && m_state != State::Running)
        return;
    const InternetStatusAction action = OnInternetStatus(event, m_transfer);
    if (action.progress)
        Q_EMIT fetchProgress(m_transfer.TransferTotal, m_transfer.BytesReceived);
    if (action.strip)
        Q_EMIT stripText(*action.strip);
    if (action.line)
        m_log.AddStatusLine(*action.line);
}

// --- the session ---------------------------------------------------------------------------

void UpdateSession::start()
{
    if (!canStart())
        return;
    m_lastUpdateText = m_s.options.LastUpdate;
    // Whatever the server names, it lands here and never on a file of the user's.
    QDir().mkpath(downloadFolder());
    setState(State::Connecting);
    Q_EMIT busyChanged(true);
    m_s.controller.DebugTimersOff(true);
    m_timersPaused = true;

    std::unique_ptr<FtpClient> client = m_config.makeClient();
    m_client = client.get();
    m_worker = new FtpWorker(std::move(client));
    m_worker->moveToThread(&m_thread);
    connect(m_worker, &FtpWorker::jobDone, this, &UpdateSession::onJobDone);
    connect(m_worker, &FtpWorker::statusEvent, this, &UpdateSession::onStatusEvent);
    connect(m_worker, &FtpWorker::fileStarting, this,
            [this](const QString &, const QString &remote, const QString &local, qint64 size) {
                if (m_state != State::Running)
                    return;
                m_transfer.TransferKind = kTransferDownloading;
                m_transfer.TransferTotal = double(std::max<qint64>(size, 0));
                m_transfer.BytesReceived = 0;
                Q_EMIT fetchStarted(m_transfer.TransferTotal,
                                    QStringLiteral("Downloading ") + remote +
                                        QStringLiteral(" to ") + local);
            });
    connect(m_worker, &FtpWorker::fileDone, this, [this](const QString &name, bool ok) {
        if (m_state != State::Running)
            return;
        m_transfer.TransferKind = 0;
        Q_EMIT transferResult(ok, name);
        setProgress(m_progress + 1);
    });
    m_thread.start();

    const FtpEndpoint endpoint = updateEndpoint(m_config.server, m_config.proxy);
    const UpdateServerSettings server = m_config.server;
    runJob([endpoint, server](FtpWorker &w) { w.open(endpoint, server); },
           [this](const FtpJobResult &r) { connected(r); });
}

void UpdateSession::connected(const FtpJobResult &result)
{
    if (!result.ok) {
        m_s.prompt.message(InternetErrorText(result.error, result.response) +
                               QStringLiteral("\r\nPlease try again Later"),
                           Prompt::Buttons::Ok, Prompt::Icon::Critical,
                           QStringLiteral("K-Vorn Web Update Failed"));
        setState(State::ConnectionRefused);
        Q_EMIT busyChanged(false);
        endTimersPause();
        return;
    }
    setState(State::Running);
    m_log.AddStatusLine(QStringLiteral("Connected! Beginning Download"));
    m_stepsDone = 0;
    m_progress = 0;
    setProgressRange(tickedCount());
    runStep(0);
}

void UpdateSession::runStep(int step)
{
    if (m_state != State::Running)
        return;
    if (step >= kStepCount) {
        finish();
        return;
    }
    Q_EMIT stepPictureChanged(step, StepPicture::InProgress);
    const bool ticked = stepTicked(step);
    if (!ticked) {
        // What the download steps queued is fetched here whatever this step's box says.
        if (step == 4)
            fetchQueue([this] { stepDone(4, StepPicture::Skipped); });
        else
            stepDone(step, StepPicture::Skipped);
        return;
    }
    switch (step) {
    case 0:
        checkVersion();
        break;
    case 1:
        m_log.AddStatusLine(QStringLiteral("Downloading Popup update list..."));
        if (!m_queue.contains(kPopupUpdateFile))
            m_queue.append(kPopupUpdateFile);
        stepDone(1, StepPicture::Done);
        break;
    case 2:
        if (uploadsWanted())
            uploadDump(kPopupDump, QStringLiteral("blacklistadds"), false,
                       [this] { stepDone(2, StepPicture::Done); });
        else
            stepDone(2, StepPicture::Skipped);
        break;
    case 3:
        probeWeeklyLists([this] { stepDone(3, StepPicture::Done); });
        break;
    case 4: {
        const bool upload = uploadsWanted();
        auto fetch = [this, upload] {
            fetchQueue([this, upload] {
                stepDone(4, upload ? StepPicture::Done : StepPicture::Skipped);
            });
        };
        if (upload)
            uploadDump(kMailDump, QStringLiteral("mailadds"), true, fetch);
        else
            fetch();
        break;
    }
    case 5:
        mergePopupList([this] { stepDone(5, StepPicture::Done); });
        break;
    case 6:
        mergeMailLists();
        stepDone(6, StepPicture::Done);
        break;
    default:
        break;
    }
}

void UpdateSession::stepDone(int step, StepPicture picture)
{
    if (m_state != State::Running)
        return;
    Q_EMIT stepPictureChanged(step, picture);
    if (stepTicked(step))
        ++m_stepsDone;
    setProgressRange(tickedCount());
    setProgress(m_stepsDone);
    // Back to the event loop between steps: the dialog repaints and Abort is served.
    QMetaObject::invokeMethod(this, [this, step] { runStep(step + 1); }, Qt::QueuedConnection);
}

void UpdateSession::fetchQueue(std::function<void()> next)
{
    if (m_queue.isEmpty()) {
        next();
        return;
    }
    QList<FetchItem> items;
    for (const QString &queued : std::as_const(m_queue)) {
        const QString name = queued.section(QLatin1Char('\t'), 0, 0);
        items.append({name, maxBytesOf(name)});
    }
    m_queue.clear();
    m_progress = 0;
    setProgressRange(int(items.size()));
    m_transfer.BytesReceived = 0;
    const QString folder = downloadFolder();
    runJob([items, folder](FtpWorker &w) { w.fetch(items, folder); },
           [this, next = std::move(next)](const FtpJobResult &r) {
               noteResult(r);
               for (const QString &name : r.present)
                   if (!m_fetched.contains(name))
                       m_fetched.append(name);
               for (const FtpJobResult::Failure &failure : r.failures) {
                   // A copy left from an earlier session must not be merged in its place.
                   QFile::remove(localPath(failure.name));
                   m_fetched.removeAll(failure.name);
                   m_failures.append(failure);
                   m_log.AddStatusLine(failureText(failure));
               }
               m_progress = m_stepsDone;
               setProgressRange(tickedCount());
               next();
           });
}

void UpdateSession::checkVersion()
{
    m_queue.append(kVersionFile);
    m_log.AddStatusLine(QStringLiteral("Checking for Version Update..."));
    m_queue.append(kMessageFile);
    fetchQueue([this] {
        const QString path = localPath(kVersionFile);
        for (const FtpJobResult::Failure &failure : std::as_const(m_failures)) {
            if (failure.name != kVersionFile)
                continue;
            // A transfer that failed is told as what it is, not as an empty answer.
            QFile::remove(path);
            QFile::remove(localPath(kMessageFile));
            stop(failureText(failure));
            return;
        }
        QStringList fields;
        if (m_fetched.contains(kVersionFile)) {
            const std::optional<QStringList> lines = readUpdateFileLines(path);
            if (lines)
                fields = versionFileFields(lines->join(QLatin1Char('\n')));
        }
        QFile::remove(path);
        if (fields.size() < 2 || fields.at(0).isEmpty()) {
            QFile::remove(localPath(kMessageFile));
            stop(QStringLiteral("The update server sent no version information."));
            return;
        }
        if (fields.at(0) != m_config.programVersion) {
            fetchProgramUpdate(fields.at(0), fields.at(1));
            return;
        }
        readServerMessage();
        stepDone(0, StepPicture::Done);
    });
}

void UpdateSession::fetchProgramUpdate(const QString &version, const QString &name)
{
    if (!isAcceptableUpdateFileName(name, ownFileNames()) || isWeeklyMailListName(name)) {
        m_s.prompt.message(QStringLiteral("K-Vorn %1 is on the update server, but the update "
                                          "file name it gives (%2) is not a plain file name "
                                          "of its own. Nothing was fetched.")
                               .arg(version, name),
                           Prompt::Buttons::Ok, Prompt::Icon::Warning, kUpdateTitle);
        readServerMessage();
        stepDone(0, StepPicture::Done);
        return;
    }
    if (m_config.publicKey.isEmpty()) {
        // Nothing could ever vouch for the file, so it is not fetched at all.
        const QString why = QStringLiteral("K-Vorn %1 is on the update server. This K-Vorn was "
                                           "built without a key to check software updates "
                                           "with, so it was not fetched.")
                                .arg(version);
        m_log.AddStatusLine(why);
        m_s.prompt.message(why, Prompt::Buttons::Ok, Prompt::Icon::Information, kUpdateTitle);
        readServerMessage();
        stepDone(0, StepPicture::Done);
        return;
    }
    m_log.AddStatusLine(QStringLiteral("Downloading K-Vorn software update..."));
    m_queue.append(name);
    m_queue.append(name + QStringLiteral(".sig"));
    fetchQueue([this, version, name] {
        const QString path = localPath(name);
        const QString signature = path + QStringLiteral(".sig");
        if (m_fetched.contains(name)) {
            const SignatureCheck check = checkUpdateSignature(path, m_config.publicKey);
            QFile::remove(signature);
            if (check == SignatureCheck::Verified) {
                QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                QFileDevice::ExeOwner);
                m_updateFetched = true;
                m_updatePath = path;
            } else {
                QFile::remove(path);
                const QString why =
                    check == SignatureCheck::NoKey
                        ? QStringLiteral("This K-Vorn was built without a key to check "
                                         "software updates with, so K-Vorn %1 from the "
                                         "update server was deleted unopened.")
                              .arg(version)
                        : QStringLiteral("The downloaded software update could not be "
                                         "verified and was deleted.");
                m_log.AddStatusLine(why);
                m_s.prompt.message(why, Prompt::Buttons::Ok, Prompt::Icon::Warning,
                                   kUpdateTitle);
            }
        } else {
            QFile::remove(signature);
        }
        readServerMessage();
        stepDone(0, StepPicture::Done);
    });
}

void UpdateSession::readServerMessage()
{
    m_log.AddStatusLine(QStringLiteral("Checking Message file..."));
    const QString path = localPath(kMessageFile);
    if (const std::optional<QStringList> lines = readUpdateFileLines(path))
        m_serverMessage = lines->join(QLatin1Char('\n')).trimmed();
    QFile::remove(path);
}

void UpdateSession::probeWeeklyLists(std::function<void()> next)
{
    m_log.AddStatusLine(QStringLiteral("Downloading mail update list..."));
    const QDate today = m_s.clock.now().date();
    const QList<int> codes = weekCodesSince(lastUpdateDate(m_lastUpdateText, today), today, true);
    QStringList names;
    for (const int code : codes)
        names.append(weeklyMailListName(code));
    runJob([names](FtpWorker &w) { w.probe(names); },
           [this, next = std::move(next)](const FtpJobResult &r) {
               noteResult(r);
               for (const QString &name : r.present)
                   if (!m_queue.contains(name))
                       m_queue.append(name);
               next();
           });
}

int UpdateSession::writeDump(const QString &path, bool mail)
{
    m_log.AddStatusLine(mail ? QStringLiteral("Preparing Mail List ")
                             : QStringLiteral("Preparing popup List "));
    const QDate since = lastUpdateDate(m_lastUpdateText, m_s.clock.now().date());
    QStringList lines;
    const auto take = [&](const QString &text, const QString &date) {
        const QDate d = readStoredDate(date);
        if (d.isValid() && d > since)
            lines.append(text);
    };
    if (mail) {
        for (const MailListEntry &e : m_s.mailLists.blacklist().entries())
            take(e.Address, e.LastHit);
    } else {
        const PopupListModel &list = m_s.popupLists.blackList();
        for (int row = 0; row < list.count(); ++row)
            take(list.entry(row).text, list.entry(row).dateAdded);
    }
    writeLines(path, lines);
    m_log.AddStatusLine(QString::number(lines.size()) +
                        (mail ? QStringLiteral(" Mail Blacklist items selected")
                              : QStringLiteral(" Popup Blacklist items selected")));
    return int(lines.size());
}

void UpdateSession::uploadDump(const QString &dumpName, const QString &remoteFolder, bool mail,
                               std::function<void()> next)
{
    m_log.AddStatusLine(mail ? QStringLiteral("Uploading Mail Blacklist Adds...")
                             : QStringLiteral("Uploading Popup Blacklist Adds..."));
    const QString path = localPath(dumpName);
    writeDump(path, mail);
    const QString id = m_config.installId;
    runJob([path, remoteFolder, id](FtpWorker &w) { w.upload(path, remoteFolder, id); },
           [this, path, next = std::move(next)](const FtpJobResult &r) {
               noteResult(r);
               if (!r.ok) {
                   if (r.error == 12003)
                       Q_EMIT extendedError(InternetErrorText(12003, r.response));
                   else
                       m_log.AddStatusLine(internetErrorReport(
                           QStringLiteral("File not transfered"), r.error, r.message));
               }
               QFile::remove(path);
               next();
           });
}

void UpdateSession::mergePopupList(std::function<void()> next)
{
    m_log.AddStatusLine(QStringLiteral("Merging Database..."));
    m_popupMerge = std::make_unique<PopupUpdateMerge>(
        m_s.popupLists, m_s.controller, downloadFolder(),
        shortDateText(m_s.clock.now().date()));
    PopupUpdateMerge *merge = m_popupMerge.get();
    Q_EMIT popupMergeStarting(merge);
    connect(merge, &PopupUpdateMerge::finished, this,
            [this, merge, next = std::move(next)](bool merged) {
                if (merged)
                    m_log.AddStatusLine(QStringLiteral("Popup update list: ") +
                                        countersText(merge->counters()));
                Q_EMIT popupMergeEnded();
                if (m_state == State::Running)
                    next();
            });
    merge->start();
}

void UpdateSession::mergeMailLists()
{
    MailDownloadMerge merge(m_s.mailLists, m_s.messages, downloadFolder());
    Q_EMIT mailMergeStarting(&merge);
    const QDate today = m_s.clock.now().date();
    const QList<int> codes =
        weekCodesSince(lastUpdateDate(m_lastUpdateText, today), today, false);
    QStringList weekly;
    for (const QString &name : std::as_const(m_fetched))
        if (isWeeklyMailListName(name))
            weekly.append(name);
    const bool close = merge.mailload(codes, weekly);
    if (merge.anyFileFound())
        m_log.AddStatusLine(QStringLiteral("Mail update lists: ") +
                            countersText(merge.counters()));
    Q_EMIT mailMergeEnded(close);
}

void UpdateSession::finish()
{
    const QDate today = m_s.clock.now().date();
    if (m_transfersOk) {
        m_s.options.LastUpdate = shortDateText(today);
        m_log.AddStatusLine(QStringLiteral("Update Complete..."));
    } else {
        // The weeks of this session are asked for again next time.
        m_log.AddStatusLine(
            QStringLiteral("Update finished with errors; the next update will try again."));
    }
    // The merged lists and the date are written now, not only when the program ends.
    m_s.controller.saveSettingsNow();
    setState(State::Finished);
    Q_EMIT busyChanged(false);
    if (m_worker) {
        FtpWorker *worker = m_worker;
        QMetaObject::invokeMethod(worker, [worker] { worker->close(); }, Qt::QueuedConnection);
    }
    if (!m_serverMessage.isEmpty())
        m_s.prompt.message(m_serverMessage, Prompt::Buttons::Ok, Prompt::Icon::Information,
                           kUpdateTitle);
    if (m_updateFetched) {
        const Prompt::Answer answer = m_s.prompt.ask(
            QStringLiteral("A Software Update was downloaded. K-Vorn need to shut down to "
                           "install software update.\r\nPress OK to Close K-Vorn and install "
                           "update or Cancel to manually install later."),
            Prompt::Buttons::OkCancel, Prompt::Icon::Question,
            QStringLiteral("Install Software Update"), Prompt::Answer::Cancel);
        if (answer == Prompt::Answer::Ok) {
            // Everything is saved and the log flushed before the update program runs.
            m_s.controller.exitProgram(ExitKind::SessionEnd);
            if (!m_config.startProgram(m_updatePath, m_config.programFolder))
                m_s.prompt.message(QStringLiteral("To install Update run ") + m_updatePath,
                                   Prompt::Buttons::Ok, Prompt::Icon::Information,
                                   QStringLiteral("Manual Update"));
        } else {
            m_s.prompt.message(QStringLiteral("To install Update run ") + m_updatePath,
                               Prompt::Buttons::Ok, Prompt::Icon::Information,
                               QStringLiteral("Manual Update"));
        }
    }
    endTimersPause();
    Q_EMIT ended();
}

void UpdateSession::stop(const QString &message)
{
    if (m_state != State::Connecting && m_state != State::Running)
        return;
    if (m_client)
        m_client->abort();
    if (m_popupMerge)
        m_popupMerge->abort();
    m_next = nullptr;
    setState(State::Stopped);
    Q_EMIT busyChanged(false);
    if (!message.isEmpty()) {
        m_log.AddStatusLine(message);
        m_s.prompt.message(message, Prompt::Buttons::Ok, Prompt::Icon::Warning, kUpdateTitle);
    }
    endTimersPause();
    Q_EMIT ended();
}

void UpdateSession::abort()
{
    stop(QString());
}

void UpdateSession::endTimersPause()
{
    if (!m_timersPaused)
        return;
    m_timersPaused = false;
    if (!m_s.controller.isShuttingDown())
        m_s.controller.DebugTimersOff(false);
}

} // namespace kvorn
