#pragma once
// One sync as an object, shared by its two halves: the conversation with the server
// (CalDavSync.cpp) and the database work (CalDavSyncApply.cpp). Only those two include
// this; everyone else makes a sync through MakeCalDavSync.

#include "store/SyncStateStore.h"
#include "store/TaskInfo.h"
#include "sync/CalDavDiscovery.h"
#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/Ical.h"
#include "sync/SyncRunner.h"

#include <QHash>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace quillpad {

class TaskStore;

namespace caldav {

// Keys of the values the sync state keeps.
inline const QString TokenKey = QStringLiteral("sync-token ");  // + the collection's path
inline const QString CollectionKey = QStringLiteral("collection");  // the collection the state belongs to

// What a task holds as it was last synced; a task whose fingerprint differs was changed here.
QString Fingerprint(const TTaskInfo &task);
// The task in an object: the VTODO itself or the first one in the calendar; null for none.
icalcomponent *FirstVTodo(icalcomponent *calendar);

using State = SyncObjectState;
using Other = SyncOtherObject;

class CalDavSync final : public SyncRunner {
public:
    CalDavSync(Connection &db, SyncSettings settings, QString password, QObject *parent,
               std::function<void(const QString &)> found)
        : SyncRunner(parent), m_db(db), m_settings(std::move(settings)),
          m_http(m_settings.user, std::move(password), [this](const QString &error) { fail(error); }),
          m_found(std::move(found))
    {
    }

    void start() override;

private:
    using Done = DavClient::Done;
    void begin();

    // The first task collection the server lists is the one synced; the user hears of the others.
    void discovered(const QList<TaskCollection> &found);

    // One round -----------------------------------------------------------------------

    void round();

    // The whole collection's ETags, and a first sync token when the server has them.
    void listByEtag();

    // The collection's path, ending in a slash: its members' paths start with it.
    QString collectionPath() const;

    // The collection with its server, as the sync state remembers which one it belongs to.
    QString collectionId() const;
    bool sameOrigin(const QUrl &url) const { return UrlOrigin(url) == UrlOrigin(m_collection); }

    bool isCollectionItself(const QString &href) const;

    // The path of the object an address names when that is a member of the collection;
    // empty for any other address (another calendar, a path with "..", another server).
    QString memberPath(const QString &href) const;

    // Where a member lives, as a request's address.
    QUrl address(const QString &path) const;
    void skipOutside(const QString &href);
    // Takes out the objects at addresses outside the collection, their task ids into `dropped`.
    void dropOutside(QHash<QString, State> &objects, QStringList &dropped);

    // A 507 on the collection itself: the server gave only part of the changes, the rest
    // follow from the new token. A partial listing never counts as complete.
    bool Truncated(const DavMultiStatus &listing) const;

    // full: the listing is meant to name every object, so a known one it lacks was deleted
    // there — when it gives every object's ETag; one without says too little to decide.
    void decide(const DavMultiStatus &listing, bool full);
    void readLocal();

    // The program keeps editing while the requests are out: the tasks and deletes are read
    // again right before the answers are applied, so an edit made meanwhile is compared too.
    void readTasksAndTombstones();
    void fetch(const QStringList &hrefs, int from);

    struct Fetched {
        QString href;
        QString etag;
        QString ics;
    };

    // Database work: everything the server changed, then what goes up.
    void applyDownloads();
    void bindCollection(SyncStateStore &kept);

    // The task id each UID on the server stands for here.
    QHash<QString, QString> localIds() const;

    // The UID a task has on the server.
    QString uidOf(const QString &tid) const;

    // The task as it was last synced: the base of a merge.
    static std::optional<TTaskInfo> LastSynced(const State &state, const QString &tid);

    // Known objects gone from the server: deleted there. A task edited here stays and
    // goes up as new. Deleting a task on the server deletes only that task: its sub-tasks
    // here stay, under their parent on the server when that is still here, else at the
    // top level (another program may not even show sub-tasks).
    void applyRemovals(TaskStore &store, SyncStateStore &kept);

    // The parent a synced, unedited sub-task has on the server; top-level for any other.
    QString parentThere(const TTaskInfo &task, const QHash<QString, QString> &ids) const;

    // Whether a new object's UID can be its task's id here: not "root" (the parent id of
    // every top-level task), not empty, not another task's, and not one that stored rows
    // name as their parent (they would be taken in under it). Our own task uploaded
    // before its state was kept comes back under its own id.
    bool usableId(const QString &uid, const QSet<QString> &taken);

    // A fetched object that holds no task. One that held a task before is never given
    // up on; another is asked for once more, and when it comes again at the same ETag
    // without a task it is settled as not ours (an event in a shared calendar).
    void noTask(SyncStateStore &kept, const Fetched &f, bool wasTask);

    struct Incoming {
        TTaskInfo task;
        const Fetched *from;
        QString uid;  // the object's UID where it is not the task's id
    };

    void applyFetched(TaskStore &store, SyncStateStore &kept);

    // One task from the server. Changed here too: merged field by field with ours; a
    // field both changed differently keeps the server's version, ours becomes a copy.
    void take(TaskStore &store, SyncStateStore &stateStore, const TTaskInfo &task, const Fetched &f, const QString &uid);
    void writeState(SyncStateStore &kept, const QString &tid, const State &s);

    // Where a new task goes: its id as the name when that is a plain one, else a new one.
    QString newHref(const QString &tid) const;
    void upload();

    // Changed there meanwhile: fetched and decided again, whatever the next listing says.
    void refused(const QString &href);

    // Writes go out a few at a time: thousands queued at once would wait in the network
    // layer and run out their transfer timeout before they were even sent.
    void queue(std::function<void()> request) { m_queue.push_back(std::move(request)); }
    void pump();
    void answered();
    void settle();
    void send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const DavClient::Headers &headers, Done done);
    void propfind(const QUrl &url, int depth, const char *props, Done done);
    static QString StatusText(int status) { return DavClient::StatusText(status); }

    void fail(const QString &error);
    void finish();
    Connection &m_db;
    SyncSettings m_settings;
    DavClient m_http;
    std::function<void(const QString &)> m_found;
    std::unique_ptr<CalDavDiscovery> m_discovery;
    QUrl m_server;
    QUrl m_collection;
    QHash<QString, TTaskInfo> m_local;
    QHash<QString, State> m_state;
    QHash<QString, State> m_tombstones;
    QHash<QString, Other> m_others;  // by address
    QSet<QString> m_removed;  // objects deleted on the server
    QSet<QString> m_mustFetch;  // objects a write was refused for: changed there
    QString m_token;     // the collection's sync token as of the last sync
    QString m_newToken;  // as of this round's listing
    std::vector<Fetched> m_fetched;
    QList<QPair<QString, State>> m_written;
    QStringList m_deleted;
    QStringList m_droppedState;       // state and deletes of addresses outside the collection
    QStringList m_droppedTombstones;
    QStringList m_outside;  // addresses outside the collection the server named
    QStringList m_notes;
    QString m_error;
    SyncOutcome m_outcome;
    int m_pending = 0;
    std::deque<std::function<void()>> m_queue;  // writes not sent yet
    int m_inFlight = 0;
    int m_rounds = 0;
    int m_pages = 0;
    qsizetype m_unread = 0;  // listed objects this round did not read as a task
    bool m_undecided = false;  // this round's full listing gave too little to decide deletes
    bool m_truncated = false;  // the server's change list goes on from m_newToken
    bool m_reset = false;  // the state belongs to another collection: started afresh
    bool m_bind = false;   // the state belongs to no collection yet
    bool m_retry = false;
    bool m_finished = false;
};

}  // namespace caldav

}  // namespace quillpad
