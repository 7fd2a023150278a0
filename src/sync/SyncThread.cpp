#include "sync/SyncThread.h"

#include "store/AppError.h"
#include "store/Connection.h"

#include <QPointer>
#include <QThread>

namespace quillpad {

namespace {

// Lives on the sync's thread: the connection and the runner are made, used and freed there.
class SyncWorker : public QObject {
public:
    void run(const QString &path, const SyncSettings &settings, const QString &password, QObject *caller,
             const std::function<void(const QString &)> &found, const std::function<void(const SyncOutcome &)> &done)
    {
        try {
            m_db.open(path);
        } catch (const AppError &error) {
            SyncOutcome failed;
            failed.error = error.message();
            return done(failed);
        }
        const QPointer<QObject> back(caller);
        m_runner = MakeCalDavSync(m_db, settings, password, nullptr, [back, found](const QString &collection) {
            if (found)
                QMetaObject::invokeMethod(back, [found, collection] { found(collection); }, Qt::QueuedConnection);
        });
        connect(m_runner.get(), &SyncRunner::finished, this, done);
        m_runner->start();
    }

    ~SyncWorker() override
    {
        m_runner.reset();  // before the connection it uses
    }

private:
    Connection m_db;
    std::unique_ptr<SyncRunner> m_runner;
};

class ThreadedSync final : public SyncRunner {
public:
    ThreadedSync(QString path, SyncSettings settings, QString password, QObject *parent,
                 std::function<void(const QString &)> found)
        : SyncRunner(parent), m_path(std::move(path)), m_settings(std::move(settings)), m_password(std::move(password)),
          m_found(std::move(found))
    {
        m_thread.setObjectName(QStringLiteral("sync"));
    }

    ~ThreadedSync() override
    {
        m_thread.quit();
        m_thread.wait();
    }

    void start() override
    {
        m_worker = new SyncWorker;
        m_worker->moveToThread(&m_thread);
        connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
        m_thread.start();
        QMetaObject::invokeMethod(m_worker, [this, worker = m_worker] {
            worker->run(m_path, m_settings, m_password, this, m_found, [this](const SyncOutcome &outcome) {
                QMetaObject::invokeMethod(this, [this, outcome] { emit finished(outcome); }, Qt::QueuedConnection);
            });
        }, Qt::QueuedConnection);
    }

private:
    QString m_path;
    SyncSettings m_settings;
    QString m_password;
    std::function<void(const QString &)> m_found;
    QThread m_thread;
    SyncWorker *m_worker = nullptr;  // deleted on its thread
};

}  // namespace

std::unique_ptr<SyncRunner> MakeSyncOnThread(Connection &db, const SyncSettings &settings, const QString &password,
                                             QObject *parent, std::function<void(const QString &)> foundCollection)
{
    return std::make_unique<ThreadedSync>(db.path(), settings, password, parent, std::move(foundCollection));
}

}  // namespace quillpad
