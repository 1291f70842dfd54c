// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CurlFtpClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QSaveFile>
#include <QUrl>
#include <arpa/inet.h>
#include <cctype>
#include <curl/curl.h>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kvorn {

namespace {

// The internet-service codes the error texts are keyed by.
constexpr int kOutOfHandles = 12001;
constexpr int kTimeout = 12002;
constexpr int kExtendedError = 12003;
constexpr int kInternalError = 12004;
constexpr int kInvalidUrl = 12005;
constexpr int kUnrecognizedScheme = 12006;
constexpr int kNameNotResolved = 12007;
constexpr int kIncorrectUserName = 12013;
constexpr int kIncorrectPassword = 12014;
constexpr int kOperationCancelled = 12017;
constexpr int kNotProxyRequest = 12020;
constexpr int kCannotConnect = 12029;
constexpr int kConnectionAborted = 12030;
constexpr int kConnectionReset = 12031;
// Not in the text table, so they read "Error details not available."; curl's own words
// go with them in lastErrorMessage().
constexpr int kInvalidCa = 12045;
constexpr int kSecureChannelError = 12157;

CURL *handle(void *p)
{
    return static_cast<CURL *>(p);
}

void initCurlOnce()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray escaped(const QString &segment)
{
    return QUrl::toPercentEncoding(segment);
}

// A reply line of the server ("550 No such file."), as opposed to the pseudo-headers
// libcurl hands to the same callback ("Content-Length: 26").
bool isReplyLine(const QByteArray &line)
{
    return line.size() >= 3 && std::isdigit(static_cast<unsigned char>(line[0])) &&
           std::isdigit(static_cast<unsigned char>(line[1])) &&
           std::isdigit(static_cast<unsigned char>(line[2]));
}

QString addressText(const sockaddr *address)
{
    char text[INET6_ADDRSTRLEN] = {};
    if (address->sa_family == AF_INET) {
        const auto *in = reinterpret_cast<const sockaddr_in *>(address);
        inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
    } else if (address->sa_family == AF_INET6) {
        const auto *in6 = reinterpret_cast<const sockaddr_in6 *>(address);
        inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text);
    }
    return QString::fromLatin1(text);
}

} // namespace

// The libcurl callbacks, with access to the client's state.
struct CurlFtpClient::Callbacks
{
    struct Download
    {
        CurlFtpClient *client;
        QSaveFile *file;
        qint64 maxBytes = -1;
        qint64 received = 0;
        bool writeFailed = false;
        bool tooLarge = false;
    };

    static size_t discard(char *, size_t size, size_t count, void *) { return size * count; }

    static size_t write(char *data, size_t size, size_t count, void *user)
    {
        auto *d = static_cast<Download *>(user);
        const qint64 n = qint64(size * count);
        d->received += n;
        // Checked as the bytes come: a server may announce one size and send another.
        if (d->maxBytes >= 0 && d->received > d->maxBytes) {
            d->tooLarge = true;
            return 0;
        }
        if (d->file->write(data, n) != n) {
            d->writeFailed = true;
            return 0;
        }
        d->client->emitStatus(FtpStatusEvent::Kind::ResponseReceived, {}, quint64(n));
        return size_t(n);
    }

    static size_t read(char *buffer, size_t size, size_t count, void *user)
    {
        auto *f = static_cast<QFile *>(user);
        const qint64 n = f->read(buffer, qint64(size * count));
        return n < 0 ? CURL_READFUNC_ABORT : size_t(n);
    }

    static size_t header(char *data, size_t size, size_t count, void *user)
    {
        auto *c = static_cast<CurlFtpClient *>(user);
        const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
        if (isReplyLine(line))
            c->m_lastResponse = QString::fromUtf8(line);
        return size * count;
    }

    static int debug(CURL *, curl_infotype type, char *data, size_t size, void *user)
    {
        auto *c = static_cast<CurlFtpClient *>(user);
        switch (type) {
        case CURLINFO_TEXT: {
            if (c->m_controlConnected || !QByteArray::fromRawData(data, qsizetype(size))
                                              .startsWith("Connected to "))
                break;
            c->m_controlConnected = true;
            // "Connected to HOST (ADDRESS) port N (#0)": the address the user would look up.
            const QByteArray text(data, qsizetype(size));
            const qsizetype open = text.indexOf('(');
            const qsizetype close = text.indexOf(')', open);
            const QString address = open >= 0 && close > open
                                        ? QString::fromLatin1(text.mid(open + 1, close - open - 1))
                                        : c->m_endpoint.host;
            c->emitStatus(FtpStatusEvent::Kind::ConnectedToServer, address);
            break;
        }
        case CURLINFO_HEADER_OUT:
            c->m_lastCommand = QByteArray(data, qsizetype(size)).left(4).toUpper();
            c->emitStatus(FtpStatusEvent::Kind::SendingRequest, {}, size);
            c->emitStatus(FtpStatusEvent::Kind::RequestSent, {}, size);
            break;
        case CURLINFO_HEADER_IN:
            // During a fetch the byte counts are the file's, so the progress meets its total.
            if (!c->m_downloading)
                c->emitStatus(FtpStatusEvent::Kind::ResponseReceived, {}, size);
            break;
        default:
            break;
        }
        return 0;
    }

    static int progress(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
    {
        return static_cast<CurlFtpClient *>(user)->m_abort.load() ? 1 : 0;
    }

    static curl_socket_t openSocket(void *user, curlsocktype, curl_sockaddr *address)
    {
        auto *c = static_cast<CurlFtpClient *>(user);
        if (c->m_abort.load())
            return CURL_SOCKET_BAD;
        const bool control = !c->m_controlConnected;
        if (control) {
            const QString text = addressText(&address->addr);
            c->emitStatus(FtpStatusEvent::Kind::NameResolved, text);
            c->emitStatus(FtpStatusEvent::Kind::ConnectingToServer, text);
        }
        const int fd = ::socket(address->family, address->socktype | SOCK_CLOEXEC,
                                address->protocol);
        if (fd < 0)
            return CURL_SOCKET_BAD;
        {
            const std::lock_guard lock(c->m_socketsMutex);
            c->m_sockets.insert(fd);
        }
        if (control)
            c->m_controlSockets.insert(fd);
        return fd;
    }

    static int closeSocket(void *user, curl_socket_t fd)
    {
        auto *c = static_cast<CurlFtpClient *>(user);
        const bool control = c->m_controlSockets.erase(fd) > 0;
        const bool wasConnected = control && c->m_controlConnected;
        if (wasConnected)
            c->emitStatus(FtpStatusEvent::Kind::ClosingConnection);
        {
            const std::lock_guard lock(c->m_socketsMutex);
            c->m_sockets.erase(fd);
            ::close(fd);
        }
        if (wasConnected && c->m_controlSockets.empty()) {
            c->m_controlConnected = false;
            c->emitStatus(FtpStatusEvent::Kind::ConnectionClosed);
        }
        return 0;
    }
};

CurlFtpClient::CurlFtpClient()
{
    initCurlOnce();
    m_errorBuffer.fill('\0', CURL_ERROR_SIZE + 1);
}

CurlFtpClient::~CurlFtpClient()
{
    // Nobody listens any more: the owner of the callback may be gone already.
    m_onStatus = nullptr;
    close();
}

bool CurlFtpClient::open(const FtpEndpoint &endpoint, StatusCallback onStatus)
{
    close();
    m_abort = false;
    m_endpoint = endpoint;
    m_onStatus = std::move(onStatus);
    m_folders.clear();
    m_entryPath.clear();
    m_lastResponse.clear();
    m_lastCommand.clear();

    const QString host = endpoint.host.trimmed();
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.contains(QLatin1Char('@')) ||
        host.contains(QLatin1Char('?')) || host.contains(QLatin1Char('#')) ||
        host.contains(QLatin1Char(' ')) || endpoint.port == 0)
        return fail(kInvalidUrl, QStringLiteral("The server's name or port is not usable."));
    m_endpoint.host = host;

    QByteArray proxy; // empty: none, whatever the environment says
    if (endpoint.proxy.use) {
        const QString address = endpoint.proxy.address.trimmed();
        const QString portText = endpoint.proxy.port.trimmed();
        bool portOk = true;
        const uint port = portText.isEmpty() ? 0 : portText.toUInt(&portOk);
        // Never a silent direct connection when the user asked for the proxy.
        if (address.isEmpty() || !portOk || port > 65535 || (!portText.isEmpty() && port == 0))
            return fail(kNotProxyRequest,
                        QStringLiteral("The proxy setting is incomplete (Address/Port)."));
        proxy = address.toUtf8();
        if (port != 0) {
            // The port box wins over a port inside the address.
            QUrl url = QUrl::fromUserInput(address);
            if (!address.contains(QStringLiteral("://")))
                url.setScheme(QStringLiteral("http"));
            url.setPort(int(port));
            proxy = url.toString(QUrl::FullyEncoded).toUtf8();
        }
    }

    CURL *curl = curl_easy_init();
    if (!curl)
        return fail(kOutOfHandles, QStringLiteral("libcurl could not make a handle."));
    m_curl = curl;

    m_errorBuffer.fill('\0');
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, m_errorBuffer.data());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_USERAGENT, "Kvorn FTP Transfer");
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "ftp,ftps");
    curl_easy_setopt(curl, CURLOPT_USERNAME, endpoint.user.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, endpoint.password.toUtf8().constData());
    curl_easy_setopt(curl, CURLOPT_FTP_USE_EPSV, 1L);
    curl_easy_setopt(curl, CURLOPT_FTPPORT, nullptr); // passive only
    curl_easy_setopt(curl, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR_NONE));
    curl_easy_setopt(curl, CURLOPT_TRANSFERTEXT, 0L);

    curl_easy_setopt(curl, CURLOPT_PROXY, proxy.constData());
    if (!proxy.isEmpty())
        curl_easy_setopt(curl, CURLOPT_HTTPPROXYTUNNEL, 1L);

    switch (endpoint.security) {
    case FtpSecurity::Plain:
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_NONE));
        break;
    case FtpSecurity::ExplicitTls:
    case FtpSecurity::ImplicitTls:
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_ALL));
        break;
    }
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(curl, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!endpoint.caFile.isEmpty())
        curl_easy_setopt(curl, CURLOPT_CAINFO, QFile::encodeName(endpoint.caFile).constData());

    const long seconds = endpoint.timeoutSeconds > 0 ? endpoint.timeoutSeconds : 30;
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, seconds);
    curl_easy_setopt(curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
    // A data connection that stalls is not a reply the server owes, so it needs its own
    // bound: less than a byte a second for that long ends the call.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, seconds);

    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Callbacks::header);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(curl, CURLOPT_DEBUGFUNCTION, &Callbacks::debug);
    curl_easy_setopt(curl, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &Callbacks::progress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETFUNCTION, &Callbacks::openSocket);
    curl_easy_setopt(curl, CURLOPT_OPENSOCKETDATA, this);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETFUNCTION, &Callbacks::closeSocket);
    curl_easy_setopt(curl, CURLOPT_CLOSESOCKETDATA, this);

    emitStatus(FtpStatusEvent::Kind::HandleCreated);
    if (!perform(Call::Probe, folderUrl({}))) {
        const int code = m_lastError;
        const QString message = m_lastErrorMessage;
        close();
        m_lastError = code;
        m_lastErrorMessage = message;
        return false;
    }
    char *entry = nullptr;
    if (curl_easy_getinfo(curl, CURLINFO_FTP_ENTRY_PATH, &entry) == CURLE_OK && entry)
        m_entryPath = QString::fromUtf8(entry);
    return true;
}

void CurlFtpClient::close()
{
    if (!m_curl)
        return;
    // The goodbye must not wait long on a server that stopped answering, and its reply
    // must not hide the one that explains a failure.
    const QString reply = m_lastResponse;
    curl_easy_setopt(handle(m_curl), CURLOPT_SERVER_RESPONSE_TIMEOUT, 5L);
    curl_easy_cleanup(handle(m_curl));
    m_lastResponse = reply;
    m_curl = nullptr;
    m_controlSockets.clear();
    m_controlConnected = false;
    const std::lock_guard lock(m_socketsMutex);
    m_sockets.clear();
}

bool CurlFtpClient::isOpen() const
{
    return m_curl != nullptr;
}

QString CurlFtpClient::currentDir()
{
    if (!m_curl || m_entryPath.isEmpty())
        return {};
    QStringList parts = m_entryPath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &f : m_folders) {
        if (f == QLatin1String("..")) {
            if (!parts.isEmpty())
                parts.removeLast();
        } else {
            parts.append(f);
        }
    }
    const QString path = QLatin1Char('/') + parts.join(QLatin1Char('/'));
    return path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
}

bool CurlFtpClient::changeDir(const QString &name)
{
    if (!begin())
        return false;
    if (name.isEmpty() || name == QLatin1String("."))
        return true;
    QStringList folders = m_folders;
    if (name == QLatin1String("..") && !folders.isEmpty() && folders.last() != QLatin1String(".."))
        folders.removeLast();
    else
        folders.append(name);
    // An empty probe of the folder makes libcurl change into it, so the answer is the server's.
    if (!perform(Call::Probe, folderUrl(folders)))
        return false;
    m_folders = folders;
    return true;
}

std::optional<qint64> CurlFtpClient::fileSize(const QString &remotePath)
{
    if (!begin())
        return std::nullopt;
    if (!perform(Call::Probe, fileUrl(remotePath)))
        return std::nullopt;
    curl_off_t size = -1;
    curl_easy_getinfo(handle(m_curl), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    return qint64(size);
}

bool CurlFtpClient::download(const QString &remotePath, const QString &localPath,
                             qint64 maxBytes)
{
    if (!begin())
        return false;
    emitStatus(FtpStatusEvent::Kind::HandleCreated);
    QSaveFile file(localPath);
    // The old file must stay whole until the new one is complete.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        return fail(kInternalError, QStringLiteral("%1 cannot be written: %2")
                                        .arg(QDir::toNativeSeparators(localPath),
                                             file.errorString()));
    }
    Callbacks::Download sink{this, &file, maxBytes};
    curl_easy_setopt(handle(m_curl), CURLOPT_WRITEFUNCTION, &Callbacks::write);
    curl_easy_setopt(handle(m_curl), CURLOPT_WRITEDATA, &sink);
    m_downloading = true;
    bool ok = perform(Call::Download, fileUrl(remotePath));
    m_downloading = false;
    curl_easy_setopt(handle(m_curl), CURLOPT_WRITEFUNCTION, &Callbacks::discard);
    curl_easy_setopt(handle(m_curl), CURLOPT_WRITEDATA, nullptr);
    if (ok && !file.commit())
        ok = fail(kInternalError, QStringLiteral("%1 cannot be written: %2")
                                      .arg(QDir::toNativeSeparators(localPath),
                                           file.errorString()));
    if (!ok) {
        if (sink.tooLarge)
            fail(kFtpFileTooLarge, QStringLiteral("%1 is larger than the %2 bytes allowed.")
                                       .arg(remotePath)
                                       .arg(maxBytes));
        else if (sink.writeFailed)
            fail(kInternalError, QStringLiteral("%1 cannot be written: %2")
                                     .arg(QDir::toNativeSeparators(localPath),
                                          file.errorString()));
        file.cancelWriting();
    }
    // The closing handle reads as "Download complete." in the dialog: only for a whole file.
    if (ok)
        emitStatus(FtpStatusEvent::Kind::HandleClosing);
    return ok;
}

bool CurlFtpClient::upload(const QString &localPath, const QString &remotePath)
{
    if (!begin())
        return false;
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        return fail(kInternalError, QStringLiteral("%1 cannot be read: %2")
                                        .arg(QDir::toNativeSeparators(localPath),
                                             file.errorString()));
    CURL *curl = handle(m_curl);
    curl_easy_setopt(curl, CURLOPT_READFUNCTION, &Callbacks::read);
    curl_easy_setopt(curl, CURLOPT_READDATA, &file);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    const bool ok = perform(Call::Upload, fileUrl(remotePath));
    curl_easy_setopt(curl, CURLOPT_READDATA, nullptr);
    curl_easy_setopt(curl, CURLOPT_INFILESIZE_LARGE, curl_off_t(-1));
    return ok;
}

void CurlFtpClient::abort()
{
    m_abort = true;
    shutdownSockets();
}

void CurlFtpClient::shutdownSockets()
{
    // Wakes a wait on a silent server at once; the sockets are closed by libcurl later.
    const std::lock_guard lock(m_socketsMutex);
    for (const int fd : m_sockets)
        ::shutdown(fd, SHUT_RDWR);
}

int CurlFtpClient::lastError() const
{
    return m_lastError;
}

QString CurlFtpClient::lastResponse() const
{
    return m_lastResponse;
}

QString CurlFtpClient::lastErrorMessage() const
{
    return m_lastErrorMessage;
}

int CurlFtpClient::internetErrorCode(int curlCode, const QByteArray &lastCommand, long proxyCode,
                                     bool aborted)
{
    if (curlCode == CURLE_OK)
        return 0;
    if (aborted || curlCode == CURLE_ABORTED_BY_CALLBACK)
        return kOperationCancelled;
    if (proxyCode >= 400)
        return kNotProxyRequest;
    switch (curlCode) {
    case CURLE_UNSUPPORTED_PROTOCOL:
        return kUnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
        return kInvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
        return kNameNotResolved;
    case CURLE_COULDNT_CONNECT:
        return kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
        return kTimeout;
    case CURLE_LOGIN_DENIED:
        // Refused right after the user name, or only after the password.
        return lastCommand == "USER" ? kIncorrectUserName : kIncorrectPassword;
    case CURLE_REMOTE_ACCESS_DENIED:
    case CURLE_FTP_WEIRD_SERVER_REPLY:
    case CURLE_FTP_COULDNT_RETR_FILE:
    case CURLE_FTP_COULDNT_SET_TYPE:
    case CURLE_QUOTE_ERROR:
    case CURLE_UPLOAD_FAILED:
    case CURLE_REMOTE_FILE_NOT_FOUND:
    case CURLE_REMOTE_DISK_FULL:
    case CURLE_REMOTE_FILE_EXISTS:
    case CURLE_FTP_WEIRD_PASV_REPLY:
    case CURLE_FTP_WEIRD_227_FORMAT:
    case CURLE_FTP_CANT_GET_HOST:
    case CURLE_FTP_PRET_FAILED:
        return kExtendedError;
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
        return kConnectionAborted;
    case CURLE_FTP_ACCEPT_FAILED:
        return kConnectionReset;
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
        return kInvalidCa;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
        return kSecureChannelError;
    case CURLE_OUT_OF_MEMORY:
        return kOutOfHandles;
    default:
        return kInternalError;
    }
}

bool CurlFtpClient::begin()
{
    if (!m_curl)
        return fail(kInternalError, QStringLiteral("No session is open."));
    if (m_abort.load())
        return fail(kOperationCancelled, QStringLiteral("The transfer was cancelled."));
    return true;
}

bool CurlFtpClient::fail(int code, const QString &message)
{
    m_lastError = code;
    m_lastErrorMessage = message;
    return false;
}

bool CurlFtpClient::perform(Call call, const QByteArray &url)
{
    CURL *curl = handle(m_curl);
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, call == Call::Probe ? 1L : 0L);
    curl_easy_setopt(curl, CURLOPT_UPLOAD, call == Call::Upload ? 1L : 0L);
    if (call == Call::Probe) {
        // libcurl hands size pseudo-headers to the body callback even without a body.
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &Callbacks::discard);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
    }
    if (m_controlSockets.empty())
        emitStatus(FtpStatusEvent::Kind::ResolvingName, m_endpoint.host);
    m_errorBuffer.fill('\0');
    m_lastCommand.clear();
    const CURLcode rc = curl_easy_perform(curl);
    if (rc == CURLE_OK) {
        m_lastError = 0;
        m_lastErrorMessage.clear();
        return true;
    }
    long proxyCode = 0;
    curl_easy_getinfo(curl, CURLINFO_HTTP_CONNECTCODE, &proxyCode);
    const int code = internetErrorCode(rc, m_lastCommand, proxyCode, m_abort.load());
    QString message = QString::fromUtf8(m_errorBuffer.constData());
    if (message.isEmpty())
        message = QString::fromUtf8(curl_easy_strerror(rc));
    return fail(code, message);
}

QByteArray CurlFtpClient::baseUrl() const
{
    QByteArray host = m_endpoint.host.toUtf8();
    if (QHostAddress(m_endpoint.host).protocol() == QAbstractSocket::IPv6Protocol)
        host = '[' + host + ']';
    const char *scheme = m_endpoint.security == FtpSecurity::ImplicitTls ? "ftps://" : "ftp://";
    return scheme + host + ':' + QByteArray::number(m_endpoint.port) + '/';
}

QByteArray CurlFtpClient::folderUrl(const QStringList &folders) const
{
    QByteArray url = baseUrl();
    for (const QString &f : folders)
        url += escaped(f) + '/';
    return url;
}

QByteArray CurlFtpClient::fileUrl(const QString &remotePath) const
{
    // A path from the server's root ("/pub/x") needs libcurl's "%2F" to leave the log-on
    // folder; any other path is below the current folder.
    if (remotePath.startsWith(QLatin1Char('/'))) {
        QByteArray url = baseUrl() + "%2F";
        const QStringList parts = remotePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
        for (qsizetype i = 0; i < parts.size(); ++i)
            url += (i ? "/" : "") + escaped(parts.at(i));
        return url;
    }
    QByteArray url = folderUrl(m_folders);
    const QStringList parts = remotePath.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < parts.size(); ++i)
        url += (i ? "/" : "") + escaped(parts.at(i));
    return url;
}

void CurlFtpClient::emitStatus(FtpStatusEvent::Kind kind, const QString &info, quint64 number)
{
    if (m_onStatus)
        m_onStatus(FtpStatusEvent{kind, info, number});
}

} // namespace kvorn
