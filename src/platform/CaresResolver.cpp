// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/CaresResolver.h"

#include "platform/DomainName.h"

#include <QPointer>
#include <QRegularExpression>
#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <ares.h>
#include <deque>
#include <map>
#include <memory>

namespace kvorn {

namespace {

// DNS class and record types asked for (RFC 1035, RFC 3596).
constexpr int kClassIn = 1;
constexpr int kTypeA = 1;
constexpr int kTypeMx = 15;
constexpr int kTypeAaaa = 28;
// Questions sent and not yet answered, at most. Beyond that they wait their turn: a burst
// of answers larger than the socket's receive buffer would be dropped and cost a time-out.
constexpr int kMaxQuestionsInFlight = 96;

// One look-up: three questions whose answers are combined.
struct Lookup
{
    QString domain;
    QByteArray name; // as asked
    QPointer<QObject> context;
    bool hasContext = false;
    Resolver::Callback done;
    int outstanding = 0;
    bool settled = false;
    bool noSuchDomain = false;
    QString failure; // the first inconclusive outcome, empty when none
};

// The outcome of one question.
enum class QuestionResult
{
    Found,
    NoData,
    NoSuchDomain,
    Failed
};

// What a successful reply holds for the type asked. A reply that cannot be read is no
// evidence either way.
QuestionResult readReply(int type, unsigned char *abuf, int alen)
{
    int status = ARES_SUCCESS;
    bool found = false;
    if (type == kTypeMx) {
        ares_mx_reply *mx = nullptr;
        status = ares_parse_mx_reply(abuf, alen, &mx);
        found = mx != nullptr;
        if (mx)
            ares_free_data(mx);
    } else {
        hostent *host = nullptr;
        int count = 8;
        if (type == kTypeA) {
            ares_addrttl ttls[8];
            status = ares_parse_a_reply(abuf, alen, &host, ttls, &count);
        } else {
            ares_addr6ttl ttls[8];
            status = ares_parse_aaaa_reply(abuf, alen, &host, ttls, &count);
        }
        if (host)
            ares_free_hostent(host);
        found = count > 0;
    }
    if (status == ARES_SUCCESS)
        return found ? QuestionResult::Found : QuestionResult::NoData;
    // Only a name with other records (a CNAME chain without the type asked) yields this.
    if (status == ARES_ENODATA)
        return QuestionResult::NoData;
    return QuestionResult::Failed;
}

} // namespace

struct CaresResolver::Impl
{
    CaresResolver *q = nullptr;
    CaresResolverSettings settings;
    ares_channel channel = nullptr;
    QString setupError;
    bool libraryReady = false;
    bool destroying = false;
    int pending = 0;
    int inFlight = 0; // questions sent, not yet answered
    bool pumpScheduled = false;
    std::deque<std::shared_ptr<Lookup>> waiting; // not yet asked
    QTimer timer;

    struct Notifiers
    {
        QSocketNotifier *read = nullptr;
        QSocketNotifier *write = nullptr;
    };
    std::map<ares_socket_t, Notifiers> notifiers;

    // Carries one question through c-ares.
    struct Question
    {
        Impl *impl;
        std::shared_ptr<Lookup> lookup;
        int type;
    };

    void openChannel()
    {
        setupError.clear();
        ares_options options{};
        options.sock_state_cb = &Impl::onSocketState;
        options.sock_state_cb_data = this;
        options.timeout = std::max(1, settings.timeoutMs);
        options.tries = std::max(1, settings.tries);
        // Sender domains are absolute names: never try them below the local search domains.
        options.flags = ARES_FLAG_NOSEARCH;
        const int mask =
            ARES_OPT_SOCK_STATE_CB | ARES_OPT_TIMEOUTMS | ARES_OPT_TRIES | ARES_OPT_FLAGS;
        int status = ares_init_options(&channel, &options, mask);
        if (status != ARES_SUCCESS) {
            channel = nullptr;
            setupError = QStringLiteral("cannot start the resolver: %1")
                             .arg(QString::fromUtf8(ares_strerror(status)));
            return;
        }
        // People write lists with blanks or semicolons too.
        const QString servers =
            settings.servers
                .split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts)
                .join(QLatin1Char(','));
        if (!servers.isEmpty()) {
            status = ares_set_servers_ports_csv(channel, servers.toUtf8().constData());
            if (status != ARES_SUCCESS) {
                setupError = QStringLiteral("unusable name server list \"%1\": %2")
                                 .arg(servers, QString::fromUtf8(ares_strerror(status)));
                closeChannel();
            }
        }
    }

    void closeChannel()
    {
        if (!channel)
            return;
        ares_channel old = channel;
        channel = nullptr;
        ares_destroy(old); // answers what is under way with ARES_EDESTRUCTION
        for (auto &[fd, n] : notifiers) {
            for (QSocketNotifier *notifier : {n.read, n.write}) {
                if (notifier) {
                    notifier->setEnabled(false);
                    notifier->deleteLater();
                }
            }
        }
        notifiers.clear();
        timer.stop();
    }

    static void onSocketState(void *data, ares_socket_t fd, int readable, int writable)
    {
        static_cast<Impl *>(data)->socketState(fd, readable != 0, writable != 0);
    }

    void socketState(ares_socket_t fd, bool readable, bool writable)
    {
        if (!readable && !writable) {
            auto it = notifiers.find(fd);
            if (it == notifiers.end())
                return;
            // A notifier may be the one whose signal is running: let it go later.
            for (QSocketNotifier *notifier : {it->second.read, it->second.write}) {
                if (notifier) {
                    notifier->setEnabled(false);
                    notifier->deleteLater();
                }
            }
            notifiers.erase(it);
            return;
        }
        Notifiers &n = notifiers[fd];
        if (readable && !n.read) {
            n.read = new QSocketNotifier(qintptr(fd), QSocketNotifier::Read, q);
            QObject::connect(n.read, &QSocketNotifier::activated, q,
                             [this, fd] { process(fd, ARES_SOCKET_BAD); });
        }
        if (n.read)
            n.read->setEnabled(readable);
        if (writable && !n.write) {
            n.write = new QSocketNotifier(qintptr(fd), QSocketNotifier::Write, q);
            QObject::connect(n.write, &QSocketNotifier::activated, q,
                             [this, fd] { process(ARES_SOCKET_BAD, fd); });
        }
        if (n.write)
            n.write->setEnabled(writable);
    }

    void process(ares_socket_t readFd, ares_socket_t writeFd)
    {
        if (!channel)
            return;
        ares_process_fd(channel, readFd, writeFd);
        rearm();
    }

    // The timer wakes c-ares when its next time-out is due.
    void rearm()
    {
        if (!channel) {
            timer.stop();
            return;
        }
        timeval tv{};
        timeval *next = ares_timeout(channel, nullptr, &tv);
        if (!next) {
            timer.stop();
            return;
        }
        const qint64 ms = qint64(next->tv_sec) * 1000 + (next->tv_usec + 999) / 1000;
        timer.start(int(std::clamp<qint64>(ms, 0, 60000)));
    }

    static void onAnswer(void *arg, int status, int /*timeouts*/, unsigned char *abuf, int alen)
    {
        std::unique_ptr<Question> question(static_cast<Question *>(arg));
        Impl *impl = question->impl;
        QuestionResult result = QuestionResult::Failed;
        QString why;
        switch (status) {
        case ARES_SUCCESS:
            result = readReply(question->type, abuf, alen);
            if (result == QuestionResult::Failed)
                why = QStringLiteral("unreadable reply");
            break;
        case ARES_ENODATA:
            result = QuestionResult::NoData;
            break;
        case ARES_ENOTFOUND:
            result = QuestionResult::NoSuchDomain;
            break;
        case ARES_EDESTRUCTION:
            if (impl->destroying)
                return;
            why = QStringLiteral("name servers changed");
            break;
        default:
            why = QString::fromUtf8(ares_strerror(status));
            break;
        }
        impl->questionDone(question->lookup, result, why);
    }

    void questionDone(const std::shared_ptr<Lookup> &lookup, QuestionResult result,
                      const QString &why)
    {
        --lookup->outstanding;
        --inFlight;
        if (!waiting.empty() && !pumpScheduled) {
            pumpScheduled = true;
            QMetaObject::invokeMethod(
                q, [this] { pump(); }, Qt::QueuedConnection);
        }
        if (lookup->settled)
            return;
        switch (result) {
        case QuestionResult::Found:
            settle(lookup, DomainState::Exists, QStringLiteral("found"));
            return;
        case QuestionResult::NoSuchDomain:
            lookup->noSuchDomain = true;
            break;
        case QuestionResult::Failed:
            if (lookup->failure.isEmpty())
                lookup->failure = why;
            break;
        case QuestionResult::NoData:
            break;
        }
        if (lookup->outstanding > 0)
            return;
        // A negative answer counts only when no question went unanswered.
        if (!lookup->failure.isEmpty())
            settle(lookup, DomainState::Unknown, lookup->failure);
        else if (lookup->noSuchDomain)
            settle(lookup, DomainState::DoesNotExist, QStringLiteral("no such domain"));
        else
            settle(lookup, DomainState::DoesNotExist,
                   QStringLiteral("no address or mail exchanger record"));
    }

    // Asks the waiting look-ups' questions while there is room.
    void pump()
    {
        pumpScheduled = false;
        while (!waiting.empty() && (!channel || inFlight + 3 <= kMaxQuestionsInFlight)) {
            std::shared_ptr<Lookup> lookup = std::move(waiting.front());
            waiting.pop_front();
            if (!channel) {
                settle(lookup, DomainState::Unknown,
                       setupError.isEmpty() ? QStringLiteral("no resolver") : setupError);
                continue;
            }
            lookup->outstanding = 3;
            for (int type : {kTypeA, kTypeAaaa, kTypeMx}) {
                auto *question = new Question{this, lookup, type};
                ++inFlight;
                ares_query(channel, lookup->name.constData(), kClassIn, type, &Impl::onAnswer,
                           question);
            }
        }
        rearm();
    }

    // Delivers from the event loop, never from inside c-ares or inside lookUp().
    void settle(const std::shared_ptr<Lookup> &lookup, DomainState state, const QString &detail)
    {
        lookup->settled = true;
        DomainAnswer answer{lookup->domain, state, detail};
        QMetaObject::invokeMethod(
            q,
            [this, lookup, answer] {
                --pending;
                if (lookup->hasContext && !lookup->context)
                    return;
                if (lookup->done)
                    lookup->done(answer);
                Q_EMIT q->answered(answer);
            },
            Qt::QueuedConnection);
    }
};

CaresResolver::CaresResolver(const CaresResolverSettings &settings, QObject *parent)
    : Resolver(parent), d(std::make_unique<Impl>())
{
    d->q = this;
    d->settings = settings;
    d->timer.setSingleShot(true);
    QObject::connect(&d->timer, &QTimer::timeout, this,
                     [this] { d->process(ARES_SOCKET_BAD, ARES_SOCKET_BAD); });
    const int status = ares_library_init(ARES_LIB_INIT_ALL);
    d->libraryReady = status == ARES_SUCCESS;
    if (d->libraryReady)
        d->openChannel();
    else
        d->setupError = QStringLiteral("cannot start the resolver: %1")
                            .arg(QString::fromUtf8(ares_strerror(status)));
}

CaresResolver::~CaresResolver()
{
    d->destroying = true;
    d->closeChannel();
    if (d->libraryReady)
        ares_library_cleanup();
}

bool CaresResolver::setServers(const QString &servers)
{
    if (!d->libraryReady)
        return false;
    d->closeChannel();
    d->settings.servers = servers;
    d->openChannel();
    d->pump();
    return d->setupError.isEmpty();
}

QString CaresResolver::setupError() const
{
    return d->setupError;
}

int CaresResolver::pendingCount() const
{
    return d->pending;
}

std::optional<QByteArray> CaresResolver::questionName(const QString &domain)
{
    return dnsQuestionName(domain);
}

void CaresResolver::lookUp(const QString &domain, QObject *context, Callback done)
{
    auto lookup = std::make_shared<Lookup>();
    lookup->domain = domain;
    lookup->context = context;
    lookup->hasContext = context != nullptr;
    lookup->done = std::move(done);
    ++d->pending;

    const std::optional<QByteArray> name = questionName(domain);
    if (!name) {
        // Never asked, so nothing is known about it: "does not exist" would get the
        // message of a sender text like a display name deleted.
        d->settle(lookup, DomainState::Unknown, QStringLiteral("not a domain name"));
        return;
    }
    lookup->name = *name;
    d->waiting.push_back(std::move(lookup));
    d->pump();
}

} // namespace kvorn
