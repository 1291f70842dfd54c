// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/FtpClient.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <optional>

namespace kvorn {

/// The text of an internet-service error code, word for word as the program has always
/// shown it. For 12003 it is the server's last reply (`lastResponse`, cut at a NUL), or
/// "Extended error returned from server." when there is none. Unknown codes give
/// "Error details not available.".
QString InternetErrorText(int code, const QString &lastResponse = {});

/// The words for a failure that is reported in the status line and log rather than in a
/// window: `what` (the caller's word, "File not transfered"), " error code: ", the code,
/// " Message: " and the library's message.
QString internetErrorReport(const QString &what, int code, const QString &message);

/// `TransferKind` while a file is being fetched.
inline constexpr int kTransferDownloading = 3;

/// What the status texts of a transfer depend on: the session's fetch in progress.
struct FtpTransferState
{
    int TransferKind = 0;        ///< 0 none, kTransferDownloading while fetching
    double TransferTotal = 0;    ///< the size of the file being fetched
    double BytesReceived = 0;    ///< the response-received byte counts so far
};

/// What the update dialog shows for one status event, in this order: the progress
/// (FloodUpdateTextPC with the state's total and received bytes), the strip's text
/// (FloodShowConnectAction), the status line (AddStatusLine). Every event is followed by
/// a repaint.
struct InternetStatusAction
{
    bool progress = false;
    std::optional<QString> strip;
    std::optional<QString> line;
};

/// The update dialog's reading of one status event; it counts the received bytes into
/// `state` and ends the fetch's state when its handle closes.
InternetStatusAction OnInternetStatus(const FtpStatusEvent &event, FtpTransferState &state);

/// The status line and the status log of the update dialog. Lines are kept only while
/// `StatusDetail` is set (the dialog sets it when it opens).
class UpdateStatusLog : public QObject
{
    Q_OBJECT

public:
    explicit UpdateStatusLog(QObject *parent = nullptr) : QObject(parent) {}

    bool StatusDetail = false;

    /// Appends the text to the log and makes it the status line, only while StatusDetail.
    void AddStatusLine(const QString &text);

    const QStringList &lines() const { return m_lines; }
    QString statusLine() const { return m_statusLine; }

Q_SIGNALS:
    /// A line was appended; the window scrolls it to the top and shows it as status line.
    void lineAdded(const QString &text);

private:
    QStringList m_lines;
    QString m_statusLine;
};

} // namespace kvorn
