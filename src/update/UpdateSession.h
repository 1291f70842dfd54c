// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FtpClient.h"
#include "update/FtpWorker.h"
#include "update/InternetTexts.h"
#include "update/UpdateServerSettings.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>

#include <array>
#include <functional>
#include <memory>

namespace kvorn {

class Clock;
class FtpWorker;
class MailDownloadMerge;
class MailLists;
class MainController;
class MessageListModel;
class PopupLists;
class PopupUpdateMerge;
class Prompt;
struct Options;

/// The pictures of a step's row.
enum class StepPicture
{
    Done = 0,
    InProgress = 1,
    Skipped = 2
};

class SettingsStore;

/// The folder below the program folder that every file from the update server goes to.
inline const QString kUpdateDownloadFolder = QStringLiteral("updates");

/// The installation's identifier: 18 random decimal digits made once and kept in the
/// "Update" section as "InstallId". It names the user's uploads and nothing else.
QString updateInstallationId(SettingsStore &store);

/// The fields of "version.txt": commas and line ends separate them, blanks around a field
/// are dropped and a field in double quotes is taken without them.
QStringList versionFileFields(const QString &text);

/// One update session of the update dialog: the version check and the program update, the
/// popup and weekly mail lists fetched and merged, the user's additions sent when that is
/// switched on. Network calls run on a worker thread; the lists are changed on this
/// object's thread.
class UpdateSession : public QObject
{
    Q_OBJECT

public:
    struct Services
    {
        Options &options;
        MainController &controller;
        PopupLists &popupLists;
        MailLists &mailLists;
        MessageListModel &messages;
        Prompt &prompt;
        Clock &clock;
    };

    struct Config
    {
        QString programFolder;
        UpdateServerSettings server;
        ProxySettings proxy;
        /// The version text the server's is compared with.
        QString programVersion = QStringLiteral(KVORN_VERSION);
        /// The 32-byte key update files must be signed with; empty: none is started.
        QByteArray publicKey;
        /// The name the user's additions are sent under.
        QString installId;
        /// Makes the FTP client (the worker thread owns it).
        std::function<std::unique_ptr<FtpClient>()> makeClient;
        /// Starts the verified update program, not waiting for it.
        std::function<bool(const QString &path, const QString &folder)> startProgram;
    };

    enum class State
    {
        Ready,
        ConnectionRefused, ///< "Update" stays disabled until the dialog is opened again
        Connecting,
        Running,
        Finished,
        Stopped, ///< ended early (aborted, or the server sent no version information)
    };

    static constexpr int kStepCount = 7;
    /// The most bytes the session fetches of a file of this name.
    static qint64 maxBytesOf(const QString &name);
    /// The status line for a file whose transfer failed.
    static QString failureText(const FtpJobResult::Failure &failure);
    /// The caption of a step's row (0 to 6).
    static QString stepCaption(int step);

    UpdateSession(Services services, Config config, QObject *parent = nullptr);
    ~UpdateSession() override;

    void setStepTicked(int step, bool ticked);
    bool stepTicked(int step) const { return m_ticked.at(std::size_t(step)); }
    int tickedCount() const;

    /// The "Update" button.
    void start();
    /// Stops whatever runs; the session ends without moving "LastUpdate" on.
    void abort();

    State state() const { return m_state; }
    bool canStart() const { return m_state == State::Ready && tickedCount() > 0; }
    /// Whether every transfer of the session went through.
    bool transfersOk() const { return m_transfersOk; }
    /// A verified program update lies in the program folder.
    bool updateFetched() const { return m_updateFetched; }
    QString updateFilePath() const { return m_updatePath; }
    /// Where the fetched files go ("updates" in the program folder).
    QString downloadFolder() const;
    /// The text of "message.txt", empty when none came.
    QString serverMessage() const { return m_serverMessage; }
    UpdateStatusLog &statusLog() { return m_log; }

Q_SIGNALS:
    void stateChanged(kvorn::UpdateSession::State state);
    void stepPictureChanged(int step, kvorn::StepPicture picture);
    void progressRangeChanged(int maximum);
    void progressChanged(int value);
    /// Busy from "Update" to the end of the session.
    void busyChanged(bool busy);
    /// The progress strip: a fetch begins (FloodDisplay), its bytes so far
    /// (FloodUpdateTextPC), a text (FloodShowConnectAction), a fetch's result.
    void fetchStarted(double total, const QString &message);
    void fetchProgress(double total, double done);
    void stripText(const QString &text);
    void transferResult(bool success, const QString &name);
    /// The server's reply to a failed upload, for the "Extended Error Message" window.
    void extendedError(const QString &text);
    /// The merge windows follow these objects while they work.
    void popupMergeStarting(kvorn::PopupUpdateMerge *merge);
    void popupMergeEnded();
    void mailMergeStarting(kvorn::MailDownloadMerge *merge);
    /// `closeWindow` false: the mail blacklist is empty and the window stays open.
    void mailMergeEnded(bool closeWindow);
    /// The session has ended (finished or stopped).
    void ended();

private:
    using Continuation = std::function<void(const FtpJobResult &)>;

    void setState(State state);
    void runJob(std::function<void(FtpWorker &)> job, Continuation next);
    void onJobDone(const FtpJobResult &result);
    void onStatusEvent(const FtpStatusEvent &event);
    void noteResult(const FtpJobResult &result);

    void connected(const FtpJobResult &result);
    void runStep(int step);
    void stepDone(int step, StepPicture picture);
    void fetchQueue(std::function<void()> next);
    void checkVersion();
    void fetchProgramUpdate(const QString &version, const QString &name);
    void verifyProgramUpdate(const QString &version, const FtpJobResult &result);
    void readServerMessage();
    void probeWeeklyLists(std::function<void()> next);
    void uploadDump(const QString &dumpName, const QString &remoteFolder, bool mail,
                    std::function<void()> next);
    int writeDump(const QString &path, bool mail);
    void mergePopupList(std::function<void()> next);
    void mergeMailLists();
    void finish();
    void stop(const QString &message);
    void endTimersPause();
    void setProgress(int value);
    void setProgressRange(int maximum);
    bool uploadsWanted() const;
    QStringList ownFileNames() const;
    QString localPath(const QString &name) const;

    Services m_s;
    Config m_config;
    State m_state = State::Ready;
    std::array<bool, kStepCount> m_ticked{};
    UpdateStatusLog m_log;
    FtpTransferState m_transfer;

    QThread m_thread;
    FtpWorker *m_worker = nullptr;
    FtpClient *m_client = nullptr; // owned by the worker; only abort() is called from here
    Continuation m_next;
    bool m_jobRunning = false;
    bool m_timersPaused = false;

    QStringList m_queue;
    QStringList m_fetched;
    QList<FtpJobResult::Failure> m_failures;
    std::unique_ptr<PopupUpdateMerge> m_popupMerge;
    QString m_lastUpdateText; // "LastUpdate" as the session began
    bool m_transfersOk = true;
    bool m_updateFetched = false;
    QString m_updatePath;
    QString m_serverMessage;
    int m_progress = 0;
    int m_progressMax = 0;
    int m_stepsDone = 0;
};

} // namespace kvorn

Q_DECLARE_METATYPE(kvorn::StepPicture)
