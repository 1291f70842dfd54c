// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/InternetTexts.h"

#include <QHash>

namespace kvorn {

namespace {

// The texts as the program has always shown them: trailing blanks and the missing blank
// of 12013 belong to them.
const QHash<int, QString> &errorTexts()
{
    static const QHash<int, QString> texts = {
        {12001, QStringLiteral("No more handles could be generated at this time")},
        {12002, QStringLiteral("The request has timed out.")},
        {12004, QStringLiteral("An internal error has occurred.")},
        {12005, QStringLiteral("URL is invalid.")},
        {12006, QStringLiteral("URL scheme could not be recognized, or is not supported.")},
        {12007, QStringLiteral("Server name could not be resolved.")},
        {12008, QStringLiteral("Requested protocol could not be located.")},
        {12009, QStringLiteral("A request to InternetQueryOption or InternetSetOption specified "
                               "an invalid option value.")},
        {12010, QStringLiteral("Length of an option supplied to InternetQueryOption or "
                               "InternetSetOption is incorrect for the type of option "
                               "specified.")},
        {12011, QStringLiteral("The request option can not be set, only queried. ")},
        {12012, QStringLiteral("The Win32 Internet support is being shutdown or unloaded.")},
        {12013, QStringLiteral("Request to connect and login to an FTP server could notbe "
                               "completed because the supplied user name is incorrect.")},
        {12014, QStringLiteral("Request to connect and login to an FTP server could not be "
                               "completed because the supplied password is incorrect. ")},
        {12015, QStringLiteral("Request to connect to and login to an FTP server failed.")},
        {12016, QStringLiteral("Requested operation is invalid. ")},
        {12017, QStringLiteral("Operation was cancelled, usually because the handle on which "
                               "the request was operating was closed before the operation "
                               "completed.")},
        {12018, QStringLiteral("Type of handle supplied is incorrect for this operation.")},
        {12019, QStringLiteral("Requested operation can not be carried out because the handle "
                               "supplied is not in the correct state.")},
        {12020, QStringLiteral("Request can not be made via a proxy.")},
        {12021, QStringLiteral("A required registry value could not be located. ")},
        {12022, QStringLiteral("A required registry value was located but is an incorrect "
                               "type or has an invalid value.")},
        {12023, QStringLiteral("Direct network access cannot be made at this time. ")},
        {12024, QStringLiteral("An asynchronous request could not be made because a zero "
                               "context value was supplied.")},
        {12025, QStringLiteral("An asynchronous request could not be made because a callback "
                               "function has not been set.")},
        {12026, QStringLiteral("The required operation could not be completed because one or "
                               "more requests are pending.")},
        {12027, QStringLiteral("The format of the request is invalid.")},
        {12028, QStringLiteral("The requested item could not be located.")},
        {12029, QStringLiteral("The attempt to connect to the server failed.")},
        {12030, QStringLiteral("The connection with the server has been terminated.")},
        {12031, QStringLiteral("The connection with the server has been reset.")},
        {12036, QStringLiteral("The request failed because the handle already exists.")},
    };
    return texts;
}

QString whole(double value)
{
    return QString::number(value, 'f', 0);
}

} // namespace

QString InternetErrorText(int code, const QString &lastResponse)
{
    if (code == 12003) {
        const qsizetype nul = lastResponse.indexOf(QChar(0));
        const QString reply = nul >= 0 ? lastResponse.left(nul) : lastResponse;
        return reply.isEmpty() ? QStringLiteral("Extended error returned from server.") : reply;
    }
    return errorTexts().value(code, QStringLiteral("Error details not available."));
}

QString internetErrorReport(const QString &what, int code, const QString &message)
{
    return what + QStringLiteral(" error code: ") + QString::number(code) +
           QStringLiteral(" Message: ") + message;
}

InternetStatusAction OnInternetStatus(const FtpStatusEvent &event, FtpTransferState &state)
{
    using Kind = FtpStatusEvent::Kind;
    InternetStatusAction a;
    const QString &info = event.info;
    const quint64 n = event.number;
    switch (event.kind) {
    case Kind::ResolvingName:
        a.strip = QStringLiteral("Looking up the IP address for ") + info;
        break;
    case Kind::NameResolved:
        a.strip = QStringLiteral("Name resolved ") + info;
        break;
    case Kind::Redirect:
        a.strip = QStringLiteral("HTTP request redirected to ") + info;
        break;
    case Kind::ConnectingToServer:
        a.strip = QStringLiteral("Connecting to server...") + info;
        break;
    case Kind::ConnectedToServer:
        a.strip = QStringLiteral("Connected to ") + info;
        break;
    case Kind::SendingRequest:
        a.line = QStringLiteral("Sending request: ") + QString::number(n) +
                 QStringLiteral(" bytes");
        break;
    case Kind::RequestSent:
        break;
    case Kind::ResponseReceived:
        state.BytesReceived += double(n);
        if (state.TransferKind == kTransferDownloading) {
            a.progress = true;
            a.line = QStringLiteral("Downloading   ") + whole(state.BytesReceived) +
                     QStringLiteral(" of ") + whole(state.TransferTotal);
        } else {
            a.line = QStringLiteral("Response received: ") + QString::number(n) +
                     QStringLiteral(" bytes");
        }
        break;
    case Kind::ClosingConnection:
        a.strip = QStringLiteral("Closing connection");
        break;
    case Kind::ConnectionClosed:
        a.strip = QStringLiteral("Connection closed");
        break;
    case Kind::HandleCreated:
        a.strip = QString();
        break;
    case Kind::HandleClosing:
        if (state.TransferKind == kTransferDownloading) {
            a.line = QStringLiteral("Download complete. ");
            state.TransferKind = 0;
        } else {
            a.line = QString();
        }
        break;
    case Kind::DetectingProxy:
        a.strip = QStringLiteral("Detecting proxy");
        break;
    case Kind::StateChange:
        switch (n) {
        case 1:
            a.line = QStringLiteral("Connected state moved between secure and nonsecure site");
            break;
        case 2:
            a.strip = a.line = QStringLiteral("Disconnected from network.");
            break;
        case 16:
            a.strip = a.line = QStringLiteral("Disconnected by user request.");
            break;
        case 40:
            a.line = QStringLiteral("The request requires user input to complete.");
            break;
        case 256:
            a.line = QStringLiteral("No network requests are being made (by Wininet).");
            break;
        case 512:
            a.line = QStringLiteral("Network requests are being made (by Wininet).");
            break;
        default:
            a.line = QString();
            break;
        }
        break;
    }
    return a;
}

void UpdateStatusLog::AddStatusLine(const QString &text)
{
    if (!StatusDetail)
        return;
    m_lines.append(text);
    m_statusLine = text;
    Q_EMIT lineAdded(text);
}

} // namespace kvorn
