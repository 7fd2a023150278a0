#pragma once
// Backup, restore and import of the whole database through an interchange file.
//
// Each operation comes in two halves: the one without arguments asks for the file
// through the Prompter, the "...To"/"...From" one does the work on a given file (the
// command-line companion calls that one). All report their own failures through the
// Prompter and return whether they succeeded; only a database error while a backup
// reads is raised to the caller.
//
// Restore and import write in batches: what was stored before an error or an Abort
// stays stored, and nothing is held locked while a question waits for its answer.

#include "store/Prompter.h"
#include "store/Query.h"

#include <QString>

namespace quillpad {

class Connection;

class TIoDm {
public:
    explicit TIoDm(Connection &connection);

    bool BackupDatabase();
    bool RestoreDatabase();
    bool ImportDatabase();

    // Every memo and every task into the file. "File write failure!" when it cannot be
    // written.
    bool BackupDatabaseTo(const QString &fileName);
    // Records whose id is not in the database are added; one stored as it is stays; for
    // another, "Confirm Replace" asks (until answered All or No to All). Abort ends the
    // restore, which still succeeds.
    bool RestoreDatabaseFrom(const QString &fileName);
    // Every record is added under a new id; parent links among them are kept.
    bool ImportDatabaseFrom(const QString &fileName);

    // What the last restore or import did with the file's tasks; after a failure, what
    // stayed stored.
    struct Outcome {
        int added = 0;
        int replaced = 0;
        int kept = 0;  // held as they were, or answered No
    };
    const Outcome &outcome() const { return m_outcome; }
    // For the status bar: "Restored: 3 tasks added, 2 replaced, 9 kept as they were."
    QString outcomeText() const;

    // The file dialogs' requests: the open dialog of restore and import, and the save
    // dialog the backup shares with the export.
    static FileRequest OpenRequest();
    static FileRequest SaveRequest();

private:
    enum class Mode { Restore, Import };
    // Loads the file, checks it is ours and runs the memo and task passes.
    bool ReadFile(const QString &fileName, Mode mode);
    // An import, or a restore into an empty database, that reads the file once.
    // ReadAgain leaves nothing written: the file is to be read before the writing, as a
    // document when it is outside the common form, or because a task's id was taken.
    // Reports its own failures.
    enum class Streamed { Done, Failed, ReadAgain };
    Streamed WriteInOneReading(const QString &fileName, Mode mode);

    Connection &m_connection;
    Query ADOQuery1;
    Outcome m_outcome;
    bool m_restored = false;
};

}  // namespace quillpad
