#pragma once
// The owner of the program's settings: the in-memory copies the run acts on, with the
// settings file behind them. Widgets ask it and tell it; none opens the file itself.
//
// Every change is written to the file at once, key by key, as the key table says; the
// copy changes first (it is what the program now shows), then a refused write raises
// "Unable to write to <path>" for the caller's guard to report: once, until a write goes
// through again, so a read-only folder is not reported at every change.

#include "app/settings/LoadSettings.h"

#include <QObject>
#include <QString>

namespace quillpad {

// The task list's view as the "task" section keeps it.
struct ViewSettings {
    bool listEn = false;
    bool dateEn = false;
    int range = 0;
    bool ascEn = true;
};

class AppSettings : public QObject {
    Q_OBJECT

public:
    explicit AppSettings(QObject *parent = nullptr);

    const QString &path() const { return m_startup.settingsPath; }
    void setPath(const QString &path);

    // The shell's copies: "hintSize" and "addOpenEn" from the window's creation, the
    // rest from LoadSettings, the task counts from the last loading of the tree.
    const StartupSettings &startup() const { return m_startup; }
    void readCreationSettings();
    void load();  // LoadSettings, with its rules
    // The Options dialog's OK: both copies, then "runMinimizedEn", then "addOpenEn".
    void storeOptions(bool runMinimizedEn, bool addOpenEn);
    void setVisitWebEn(bool on);          // the update offer's "Do not ask me again."
    // A web page of the maker was opened: the file only. The copy keeps its start-up
    // value, the one this run's update offer was decided on.
    void recordVisitWeb(TDateTime visited);
    // The note that the program keeps running without a tray: told once, ever.
    bool keepsRunningTold() const;
    void recordKeepsRunningTold();

    // Read afresh from the file at every loading of the task tree.
    const ViewSettings &readView();
    const ViewSettings &view() const { return m_view; }
    void setViewRange(int index);
    void setViewListEn(bool on);
    void setViewDateEn(bool on);
    void setViewAscEn(bool on);

    // Written at every loading of the tree, even when unchanged.
    void logTaskCounts(int privateTasks, int publicTasks);

signals:
    // A copy took a new value; the key as the file names it.
    void changed(const QString &key);

private:
    // The copy takes the value, announced under the key's name when it changed.
    template <typename Value, typename Key>
    void assign(Value &copy, Value value, const Key &key);
    // The same, then the key is written to the file at once.
    template <typename Value, typename Key>
    void store(Value &copy, Value value, const Key &key);

    template <typename Write>
    void writeFile(Write write);

    StartupSettings m_startup;
    ViewSettings m_view;
    bool m_writeRefused = false;  // the last write to the file was refused and reported
};

}  // namespace quillpad
