#pragma once
// The program's sync with the user's CalDAV collection: File › Sync Now, a sync every
// few minutes while the program runs, never two at once. The network works on the event
// loop; what a sync changed reaches the task list row by row. A sync the user asked for
// reports its error in a message box, one on its own only in the status bar.

#include "sync/SyncRunner.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <memory>

class QAction;

namespace quillpad {

class Connection;
class TqvTasksFrame;

class SyncControl : public QObject {
    Q_OBJECT

public:
    // How often the timer looks whether a periodic sync is due.
    static constexpr int CheckIntervalMs = 30000;

    SyncControl(Connection &db, QAction *action, QObject *parent = nullptr);
    ~SyncControl() override;

    // The settings file and the list appear once the window has them.
    void setSettingsPath(const QString &path);
    void setFrame(TqvTasksFrame *frame);
    // The "sync" section changed (Options): read it again, the first periodic sync one
    // interval from now.
    void readSettings();

    void syncNow();  // File › Sync Now
    void check();    // the timer: a periodic sync when one is due
    bool running() const { return m_runner != nullptr || m_waitingForPassword; }
    QTimer &timer() { return m_timer; }

private:
    bool configured() const { return !m_settings.server.isEmpty(); }
    bool periodic() const { return configured() && m_settings.enabled && m_settings.intervalMinutes > 0; }
    void begin(bool asked);
    void finished(const SyncOutcome &outcome);
    void showLine(const QString &line);

    Connection &m_db;
    QAction *m_syncNow;
    QString m_settingsPath;
    QPointer<TqvTasksFrame> m_frame;
    SyncSettings m_settings;
    QTimer m_timer;
    QDateTime m_nextDue;  // by the program's clock
    std::unique_ptr<SyncRunner> m_runner;
    bool m_waitingForPassword = false;
    bool m_asked = false;  // the user asked for the running sync
    QString m_line;  // shown again once the list exists
};

}  // namespace quillpad
