#pragma once
// What the CalDAV sync remembers between syncs, and every statement about it: per task
// the object it was last synced as, per deleted task the object whose delete still has to
// go up, the collection's objects that hold no task, and a few named values (the sync
// token, the collection the state belongs to).

#include "store/Query.h"

#include <QHash>
#include <QString>

namespace quillpad {

class Connection;

struct SyncObjectState {
    QString href;
    QString etag;
    QString fingerprint;  // empty: changed here since it was last synced (never kept for a delete)
    QString ics;          // the object as the server last gave it
    QString shownPid;
    QString uid;          // the object's UID where it cannot be the task's id here; empty: the same
};

// An object of the collection that holds no task (an event, say). Read once without a
// task it is asked for again; read so twice at one ETag it is settled and left alone.
struct SyncOtherObject {
    QString etag;
    bool settled = false;
};

class SyncStateStore {
public:
    explicit SyncStateStore(Connection &connection);

    // By task id.
    QHash<QString, SyncObjectState> states();
    QHash<QString, SyncObjectState> tombstones();
    // By address.
    QHash<QString, SyncOtherObject> others();

    // Empty when the value was never set.
    QString value(const QString &key);
    void setValue(const QString &key, const QString &value);

    // Everything above, for a sync starting afresh with another collection.
    void forgetAll();

    void writeState(const QString &tid, const SyncObjectState &state);
    void dropState(const QString &tid);
    void writeTombstone(const QString &tid, const SyncObjectState &state);
    void dropTombstone(const QString &tid);
    void writeOther(const QString &href, const QString &etag);
    void settleOther(const QString &href);
    void dropOther(const QString &href);

private:
    QHash<QString, SyncObjectState> readObjects(const QString &sql);
    Query m_query;
};

}  // namespace quillpad
