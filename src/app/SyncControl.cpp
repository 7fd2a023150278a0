#include "app/SyncControl.h"

#include "app/SyncService.h"
#include "app/settings/IniFile.h"
#include "store/AppError.h"
#include "store/Clock.h"
#include "store/pU_Funcs.h"
#include "tasks/ui/Fr_qvTasks.h"

#include <QAction>

namespace quillpad {

namespace {

QString SuccessLine(const SyncOutcome &outcome)
{
    QString line = QStringLiteral("Synced at %1: %2 received, %3 sent")
                       .arg(Clock::now().time().toString(QStringLiteral("HH:mm")))
                       .arg(outcome.local.added.size() + outcome.local.changed.size() + outcome.local.removed.size())
                       .arg(outcome.uploaded + outcome.deletedRemote);
    if (outcome.conflicts > 0)
        line += QStringLiteral(", ") + Counted(outcome.conflicts, "conflict copy", "conflict copies");
    for (const QString &note : outcome.notes)
        line += QStringLiteral("; ") + note;
    // Discovery chose among several: the user hears which, and where to choose another.
    if (!outcome.otherCollections.isEmpty())
        line += QStringLiteral("; tasks of %1, the first of %2 collections (Options \u203a Sync chooses)")
                    .arg(outcome.foundCollection)
                    .arg(outcome.otherCollections.size() + 1);
    return line;
}

}  // namespace

SyncControl::SyncControl(Connection &db, QAction *action, QObject *parent)
    : QObject(parent), m_db(db), m_syncNow(action)
{
    m_syncNow->setEnabled(false);
    connect(m_syncNow, &QAction::triggered, this, [this] { syncNow(); });
    m_timer.setInterval(CheckIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { check(); });
}

SyncControl::~SyncControl() = default;

void SyncControl::setFrame(TqvTasksFrame *frame)
{
    m_frame = frame;
    showLine(m_line);
}

void SyncControl::setSettingsPath(const QString &path)
{
    m_settingsPath = path;
    readSettings();
}

void SyncControl::readSettings()
{
    m_settings = ReadSyncSettings(IniFile(m_settingsPath));
    m_syncNow->setEnabled(configured());
    if (periodic()) {
        m_nextDue = Clock::now().addSecs(qint64(m_settings.intervalMinutes) * 60);
        m_timer.start();
    } else {
        m_timer.stop();
    }
    if (!configured())
        showLine({});
}

void SyncControl::syncNow()
{
    if (!configured())
        return;
    if (running()) {
        m_asked = true;  // the one under way answers the user
        return;
    }
    begin(true);
}

void SyncControl::check()
{
    if (!periodic() || running() || Clock::now() < m_nextDue)
        return;
    begin(false);
}

void SyncControl::begin(bool asked)
{
    m_asked = asked;
    m_waitingForPassword = true;
    showLine(QStringLiteral("Syncing..."));
    const SyncSettings settings = m_settings;
    QPointer<SyncControl> self(this);
    SyncService::instance().readPassword(settings, [self, settings](const QString &password, const QString &error) {
        if (!self)
            return;
        self->m_waitingForPassword = false;
        if (!error.isEmpty()) {
            SyncOutcome failed;
            failed.error = error;
            self->finished(failed);
            return;
        }
        self->m_runner = SyncService::instance().makeRunner(
            self->m_db, settings, password, nullptr, [self](const QString &collection) {
                // Found once, kept for the next syncs and the command line.
                if (!self)
                    return;
                self->m_settings.collection = collection;
                RunGuarded([&] { StoreFoundCollection(self->m_settingsPath, collection); });
            });
        connect(self->m_runner.get(), &SyncRunner::finished, self, &SyncControl::finished);
        self->m_runner->start();
    });
}

void SyncControl::finished(const SyncOutcome &outcome)
{
    // The runner is inside its own signal: it goes once that returns.
    if (m_runner)
        m_runner.release()->deleteLater();
    m_nextDue = Clock::now().addSecs(qint64(qMax(1, m_settings.intervalMinutes)) * 60);
    const bool asked = std::exchange(m_asked, false);
    if (m_frame) {
        QStringList touched = outcome.local.added;
        touched += outcome.local.changed;
        touched += outcome.local.removed;
        if (!touched.isEmpty())
            RunGuarded([&] { m_frame->takeStoredChanges(touched); });
    }
    if (outcome.ok) {
        showLine(SuccessLine(outcome));
        return;
    }
    QString error = outcome.error;
    if (!outcome.refusedCertificate.isEmpty())
        error += QStringLiteral(". Find in Options \u203a Sync offers to trust it");
    showLine(QStringLiteral("Sync failed: ") + error);
    if (asked)
        ReportError(QStringLiteral("Sync failed: ") + error);
}

void SyncControl::showLine(const QString &line)
{
    m_line = line;
    if (m_frame)
        m_frame->setStatusNote(line);
}

}  // namespace quillpad
