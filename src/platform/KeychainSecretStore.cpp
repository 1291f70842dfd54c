// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/KeychainSecretStore.h"

#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>

#include <memory>

namespace kvorn {

namespace {

SecretStore::Result resultOf(const QKeychain::Job &job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return SecretStore::Result::Ok;
    case QKeychain::EntryNotFound:
        return SecretStore::Result::NotFound;
    default:
        return SecretStore::Result::Unavailable;
    }
}

// Runs the job to its end or the time-out. False on time-out; the job then deletes itself
// whenever the keyring answers at last.
template <class JobType> bool runJob(std::unique_ptr<JobType> &job, int timeoutMs)
{
    job->setAutoDelete(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(job.get(), &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!finished) {
        QObject::disconnect(job.get(), &QKeychain::Job::finished, &loop, nullptr);
        JobType *late = job.release();
        QObject::connect(late, &QKeychain::Job::finished, late, &QObject::deleteLater);
    }
    return finished;
}

} // namespace

template <class JobType>
SecretStore::Result KeychainSecretStore::ask(KeychainSecretStore &store,
                                             std::unique_ptr<JobType> &job, const QString &key)
{
    if (store.m_gaveUp)
        return Result::Unavailable;
    job->setKey(key);
    if (!runJob(job, store.m_timeoutMs)) {
        store.m_gaveUp = true;
        return Result::Unavailable;
    }
    return resultOf(*job);
}

KeychainSecretStore::KeychainSecretStore(QString service, int timeoutMs)
    : m_service(std::move(service)), m_timeoutMs(timeoutMs)
{
}

bool KeychainSecretStore::sessionBusPresent()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // Without the variable, the bus is found at its usual place in the runtime folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo(runtime + QStringLiteral("/bus")).exists();
}

SecretStore::Result KeychainSecretStore::read(const QString &key, QString *secret)
{
    auto job = std::make_unique<QKeychain::ReadPasswordJob>(m_service);
    const Result result = ask(*this, job, key);
    if (result == Result::Ok && secret)
        *secret = job->textData();
    return result;
}

SecretStore::Result KeychainSecretStore::write(const QString &key, const QString &secret)
{
    auto job = std::make_unique<QKeychain::WritePasswordJob>(m_service);
    job->setTextData(secret);
    return ask(*this, job, key);
}

SecretStore::Result KeychainSecretStore::remove(const QString &key)
{
    auto job = std::make_unique<QKeychain::DeletePasswordJob>(m_service);
    return ask(*this, job, key);
}

} // namespace kvorn
