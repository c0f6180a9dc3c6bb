#include "secretstore.h"

#include <QEventLoop>
#include <QTimer>

#include <functional>

#include <qt5keychain/keychain.h>

namespace secretstore {

namespace {

const char* const kService = "velto_desktop";

// Runs the job to its end or to the time-out; `done` sees a finished job. A job
// still running at the time-out finishes on its own later, unheard, and
// deletes itself.
Result run(QKeychain::Job* job, const std::function<void(QKeychain::Job*)>& done = {})
{
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    Result result = Result::Unavailable;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* finished) {
        if (finished->error() == QKeychain::NoError)
            result = Result::Done;
        else if (finished->error() == QKeychain::EntryNotFound)
            result = Result::Missing;
        if (done)
            done(finished);
        loop.quit();
    });
    QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    return result;
}

}  // namespace

QString accountKey(const QString& username, const QString& server) { return username + "@" + server; }

Result write(const QString& key, const QString& password)
{
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(key);
    job->setTextData(password);
    return run(job);
}

Result read(const QString& key, QString& password)
{
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(key);
    QString found;
    const Result result = run(job, [&found](QKeychain::Job* finished) {
        found = static_cast<QKeychain::ReadPasswordJob*>(finished)->textData();
    });
    if (result == Result::Done)
        password = found;
    return result;
}

Result remove(const QString& key)
{
    auto* job = new QKeychain::DeletePasswordJob(kService);
    job->setKey(key);
    return run(job);
}

}  // namespace secretstore
