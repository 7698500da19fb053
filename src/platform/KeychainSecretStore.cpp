#include "platform/KeychainSecretStore.h"

#include <QEventLoop>
#include <qt6keychain/keychain.h>

namespace {

const QString Service = QStringLiteral("Corvane 98");

// Runs a job to its end and tells how it went.
SecretStore::Answer run(QKeychain::Job &job)
{
    job.setAutoDelete(false);
    job.setInsecureFallback(false);
    QEventLoop loop;
    bool finished = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    job.start();
    // A job without a store may finish before start returns.
    if (!finished)
        loop.exec();
    switch (job.error()) {
    case QKeychain::NoError:
        return {SecretStore::Status::Ok, {}, {}};
    case QKeychain::EntryNotFound:
        return {SecretStore::Status::NotFound, {}, {}};
    default:
        return {SecretStore::Status::Unavailable, {},
                job.errorString().isEmpty() ? QStringLiteral("no secret store answers") : job.errorString()};
    }
}

}

SecretStore::Answer KeychainSecretStore::read(const QString &key)
{
    QKeychain::ReadPasswordJob job(Service);
    job.setKey(key);
    Answer answer = run(job);
    if (answer.status == Status::Ok)
        answer.secret = job.textData();
    return answer;
}

SecretStore::Answer KeychainSecretStore::write(const QString &key, const QString &secret)
{
    QKeychain::WritePasswordJob job(Service);
    job.setKey(key);
    job.setTextData(secret);
    return run(job);
}
