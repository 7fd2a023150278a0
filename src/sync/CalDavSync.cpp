// The CalDAV sync: the changes since the last sync token (or every ETag),
// calendar-multiget to fetch, PUT and DELETE with preconditions. Network on the event loop; the database is
// read before the first request and written in one transaction after the last answer.
//
// A task both sides changed is merged field by field against the version last synced;
// where one field changed differently on both, the server's version stays and ours is
// kept as a new task whose text starts with "Conflict copy: ", uploaded as any new task is.
//
// What the server says is checked before anything is deleted or the token moves: only
// objects directly inside the collection are read, written or deleted; a listing without
// ETags deletes nothing; the token moves only once every object it lists was read. The
// sync state belongs to one collection of one server: another starts from none.

#include "sync/SyncRunner.h"

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "sync/CalDavDiscovery.h"
#include "sync/DavClient.h"
#include "sync/DavXml.h"
#include "sync/IcsFile.h"
#include "sync/TaskMerge.h"
#include "sync/VTodoMapping.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QHash>
#include <QNetworkReply>
#include <QPointer>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <deque>
#include <optional>

namespace quillpad {

namespace {

constexpr int MultigetBatch = 200;
constexpr int MaxRounds = 3;  // a round again after a 412: re-fetch and re-decide
constexpr int MaxInFlight = 6;  // requests on the wire at once, as many as connections
constexpr int MaxPages = 10000;  // rounds for a change list the server gives in parts
constexpr int NamedInNote = 3;  // addresses a note names before "and N more"
const QString ConflictPrefix = QStringLiteral("Conflict copy: ");
const QString TokenKey = QStringLiteral("sync-token ");  // + the collection's path
const QString CollectionKey = QStringLiteral("collection");  // the collection the state belongs to

QString Fingerprint(const TTaskInfo &t)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << t.tid << t.pid << t.content << t.checkFlag << t.dueFlag << t.alarmFlag << t.expandFlag << t.textColor
        << t.backgroundColor << t.createTime << t.editTime << t.checkTime << t.alarmTime << t.dueTime;
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

struct State {
    QString href;
    QString etag;
    QString fingerprint;  // empty: changed here since it was last synced
    QString ics;          // the object as the server last gave it
    QString shownPid;
    QString uid;          // the object's UID where it cannot be the task's id here; empty: the same
};

// An object of the collection that holds no task (an event, say). Read once without a
// task it is asked for again; read so twice at one ETag it is settled and left alone.
struct Other {
    QString etag;
    bool settled = false;
};

QString XmlEscape(const QString &text)
{
    return text.toHtmlEscaped();
}

// The ETags changed since the token (RFC 6578); with none, every ETag and a first token.
QByteArray SyncCollectionBody(const QString &token)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
           "<d:sync-collection xmlns:d=\"DAV:\"><d:sync-token>" +
           XmlEscape(token).toUtf8() +
           "</d:sync-token><d:sync-level>1</d:sync-level><d:prop><d:getetag/></d:prop></d:sync-collection>";
}

Query::Value NullIfEmpty(const QString &text)
{
    return text.isEmpty() ? Query::Value() : Query::Value(text);
}

icalcomponent *FirstVTodo(icalcomponent *calendar)
{
    if (!calendar)
        return nullptr;
    if (icalcomponent_isa(calendar) == ICAL_VTODO_COMPONENT)
        return calendar;
    return icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT);
}

// A line for the user that names a few addresses.
QString ListedNote(const QString &what, const QStringList &hrefs)
{
    QString line = what + hrefs.mid(0, NamedInNote).join(QStringLiteral(", "));
    if (hrefs.size() > NamedInNote)
        line += QStringLiteral(" and %1 more").arg(hrefs.size() - NamedInNote);
    return line;
}

class CalDavSync final : public SyncRunner {
public:
    CalDavSync(Connection &db, SyncSettings settings, QString password, QObject *parent,
               std::function<void(const QString &)> found)
        : SyncRunner(parent), m_db(db), m_settings(std::move(settings)),
          m_http(m_settings.user, std::move(password), [this](const QString &error) { fail(error); }),
          m_found(std::move(found))
    {
    }

    void start() override
    {
        QMetaObject::invokeMethod(this, [this] { begin(); }, Qt::QueuedConnection);
    }

private:
    using Done = DavClient::Done;

    void begin()
    {
        QString error;
        m_server = SyncServerUrl(m_settings.server, error);
        if (!error.isEmpty())
            return fail(error);
        m_http.setServer(m_server);
        m_http.setLimits(m_settings.limits);
        m_http.setTrustedCertificate(m_settings.trustedCertificate);
        if (!m_settings.collection.isEmpty()) {
            m_collection = m_server.resolved(QUrl(m_settings.collection));
            return round();
        }
        m_discovery = std::make_unique<CalDavDiscovery>(
            m_http, m_server, [this](const QList<TaskCollection> &found) { discovered(found); },
            [this](const QString &error) { fail(error); });
        m_discovery->start();
    }

    // The first task collection the server lists is the one synced; the user hears of the others.
    void discovered(const QList<TaskCollection> &found)
    {
        m_collection = m_server.resolved(QUrl(found.front().path));
        m_settings.collection = m_collection.path();
        m_outcome.foundCollection = m_settings.collection;
        for (const TaskCollection &other : found.mid(1))
            m_outcome.otherCollections.append(other.path);
        if (m_found)
            m_found(m_settings.collection);
        round();
    }

    // One round -----------------------------------------------------------------------

    void round()
    {
        ++m_rounds;
        m_retry = false;
        m_unread = 0;
        m_undecided = false;
        try {
            readLocal();
        } catch (const AppError &error) {
            return fail(error.message());
        }
        if (m_token.isEmpty())
            return listByEtag();
        // Only what changed since the last sync, when the server keeps track (RFC 6578).
        send("REPORT", m_collection, SyncCollectionBody(m_token), {}, [this](int status, const QByteArray &answer, QNetworkReply *) {
            const DavMultiStatus changes = ParseMultiStatus(answer);
            if (status != 207 || !changes.ok)
                return listByEtag();  // token refused, or no such report: compare every ETag
            decide(changes, false);
        });
    }

    // The whole collection's ETags, and a first sync token when the server has them.
    void listByEtag()
    {
        send("REPORT", m_collection, SyncCollectionBody({}), {}, [this](int status, const QByteArray &answer, QNetworkReply *) {
            const DavMultiStatus all = ParseMultiStatus(answer);
            if (status == 207 && all.ok && !Truncated(all))
                return decide(all, true);
            propfind(m_collection, 1, "<d:getetag/>", [this](int status, const QByteArray &body, QNetworkReply *) {
                if (status != 207)
                    return fail(QStringLiteral("Unable to list the task collection %1 (%2)").arg(m_collection.path(), StatusText(status)));
                const DavMultiStatus listing = ParseMultiStatus(body);
                if (!listing.ok)
                    return fail(QStringLiteral("The server's listing of the task collection cannot be read"));
                decide(listing, true);
            });
        });
    }

    // The collection's path, ending in a slash: its members' paths start with it.
    QString collectionPath() const
    {
        QString path = m_collection.path();
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        return path;
    }

    // The collection with its server, as the sync state remembers which one it belongs to.
    QString collectionId() const
    {
        return m_collection
            .adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash |
                      QUrl::NormalizePathSegments)
            .toString();
    }

    bool sameOrigin(const QUrl &url) const { return UrlOrigin(url) == UrlOrigin(m_collection); }

    bool isCollectionItself(const QString &href) const
    {
        const QUrl url = m_collection.resolved(QUrl(href));
        QString path = url.path();
        if (!path.endsWith(QLatin1Char('/')))
            path += QLatin1Char('/');
        return sameOrigin(url) && path == collectionPath();
    }

    // The path of the object an address names when that is a member of the collection;
    // empty for any other address (another calendar, a path with "..", another server).
    QString memberPath(const QString &href) const
    {
        const QUrl url = m_collection.resolved(QUrl(href));
        if (!url.isValid() || !sameOrigin(url))
            return {};
        const QString path = url.path();
        const QString base = collectionPath();
        if (!path.startsWith(base))
            return {};
        const QString name = path.mid(base.size());
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..") || name.contains(QLatin1Char('/')) ||
            name.contains(QLatin1Char('\\')))
            return {};
        return path;
    }

    // Where a member lives, as a request's address.
    QUrl address(const QString &path) const
    {
        QUrl url = m_collection.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment);
        url.setPath(path, QUrl::DecodedMode);
        return url;
    }

    void skipOutside(const QString &href)
    {
        if (!m_outside.contains(href))
            m_outside.append(href);
    }

    // A 507 on the collection itself: the server gave only part of the changes, the rest
    // follow from the new token. A partial listing never counts as complete.
    bool Truncated(const DavMultiStatus &listing) const
    {
        for (const DavResponse &r : listing.responses)
            if (r.status == 507 && isCollectionItself(r.href))
                return true;
        return false;
    }

    // full: the listing is meant to name every object, so a known one it lacks was deleted
    // there — when it gives every object's ETag; one without says too little to decide.
    void decide(const DavMultiStatus &listing, bool full)
    {
        m_newToken = listing.syncToken;
        m_removed.clear();
        m_truncated = !full && Truncated(listing);
        bool decisive = full;
        QHash<QString, QString> listed;  // path -> etag, empty when the listing gave none
        for (const DavResponse &r : listing.responses) {
            if (isCollectionItself(r.href))
                continue;
            const QString path = memberPath(r.href);
            if (path.isEmpty()) {
                skipOutside(r.href);
            } else if (r.status == 404) {
                m_removed.insert(path);
            } else {
                listed.insert(path, r.etag);
                decisive = decisive && !r.etag.isEmpty();
            }
        }
        m_undecided = full && !decisive;
        QStringList toFetch;
        QSet<QString> known;
        const auto compare = [&](const QString &href, const QString &etag) {
            known.insert(href);
            const auto remote = listed.constFind(href);
            if ((remote != listed.constEnd() && (remote->isEmpty() || *remote != etag)) ||
                (m_mustFetch.contains(href) && !m_removed.contains(href)))
                toFetch.append(href);
        };
        for (const State &s : std::as_const(m_state))
            compare(s.href, s.etag);
        // Deleted here: an object changed there since comes back.
        for (const State &s : std::as_const(m_tombstones))
            compare(s.href, s.etag);
        for (auto it = m_others.constBegin(); it != m_others.constEnd(); ++it) {
            known.insert(it.key());
            const auto remote = listed.constFind(it.key());
            if (remote != listed.constEnd() && !(it->settled && !remote->isEmpty() && *remote == it->etag))
                toFetch.append(it.key());
        }
        for (auto it = listed.constBegin(); it != listed.constEnd(); ++it)
            if (!known.contains(it.key()))
                toFetch.append(it.key());
        m_mustFetch.clear();
        if (full && decisive)
            for (const QString &href : std::as_const(known))
                if (!listed.contains(href))
                    m_removed.insert(href);
        fetch(toFetch, 0);
    }

    void readLocal()
    {
        m_state.clear();
        Query query(m_db);
        query.open(QStringLiteral("select tid, href, etag, fingerprint, ics, shown_pid, uid from sync_state"), {});
        for (; !query.eof(); query.next())
            m_state.insert(query.field(0).asString(), {query.field(1).asString(), query.field(2).asString(),
                                                       query.field(3).asString(), query.field(4).asString(),
                                                       query.field(5).asString(), query.field(6).asString()});
        m_others.clear();
        query.open(QStringLiteral("select href, etag, settled from sync_others"), {});
        for (; !query.eof(); query.next())
            m_others.insert(query.field(0).asString(), {query.field(1).asString(), query.field(2).asInteger() != 0});
        m_token.clear();
        query.open(QStringLiteral("select value from sync_meta where key=?"), {TokenKey + m_collection.path()});
        if (!query.eof())
            m_token = query.field(0).asString();
        query.open(QStringLiteral("select value from sync_meta where key=?"), {CollectionKey});
        const QString bound = query.eof() ? QString() : query.field(0).asString();
        // Another collection, or the same path on another server: its addresses, ETags and
        // token say nothing about this one. Every task here goes up; nothing is deleted.
        m_reset = !bound.isEmpty() && bound != collectionId();
        m_bind = bound.isEmpty();
        if (m_reset) {
            m_state.clear();
            m_others.clear();
            m_token.clear();
        }
        // Addresses outside the collection are forgotten (the state of an older version).
        m_droppedState.clear();
        for (auto it = m_state.begin(); it != m_state.end();) {
            if (memberPath(it->href) == it->href) {
                ++it;
            } else {
                skipOutside(it->href);
                m_droppedState.append(it.key());
                it = m_state.erase(it);
            }
        }
        readTasksAndTombstones();
    }

    // The program keeps editing while the requests are out: the tasks and deletes are read
    // again right before the answers are applied, so an edit made meanwhile is compared too.
    void readTasksAndTombstones()
    {
        m_local.clear();
        m_tombstones.clear();
        m_droppedTombstones.clear();
        TaskSnapshot snapshot;
        TaskStore(m_db).load(snapshot);
        for (const TaskWithSubTasks &entry : snapshot) {
            m_local.insert(entry.task.tid, entry.task);
            for (const TTaskInfo &child : entry.subTasks)
                m_local.insert(child.tid, child);
        }
        if (m_reset)
            return;  // deletes made for another collection
        Query query(m_db);
        query.open(QStringLiteral("select tid, href, etag, ics, shown_pid, uid from sync_tombstones"), {});
        for (; !query.eof(); query.next()) {
            const QString href = query.field(1).asString();
            if (memberPath(href) != href) {
                skipOutside(href);
                m_droppedTombstones.append(query.field(0).asString());
                continue;
            }
            m_tombstones.insert(query.field(0).asString(), {href, query.field(2).asString(), {}, query.field(3).asString(),
                                                            query.field(4).asString(), query.field(5).asString()});
        }
    }

    void fetch(const QStringList &hrefs, int from)
    {
        if (from >= hrefs.size())
            return applyDownloads();
        QByteArray body = "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
                          "<c:calendar-multiget xmlns:d=\"DAV:\" xmlns:c=\"urn:ietf:params:xml:ns:caldav\">"
                          "<d:prop><d:getetag/><c:calendar-data/></d:prop>";
        const int to = qMin<int>(hrefs.size(), from + MultigetBatch);
        for (int i = from; i < to; ++i)
            body += "<d:href>" + XmlEscape(hrefs.at(i)).toUtf8() + "</d:href>";
        body += "</c:calendar-multiget>";
        QSet<QString> asked(hrefs.begin() + from, hrefs.begin() + to);
        send("REPORT", m_collection, body, {{"Depth", "1"}}, [this, hrefs, to, asked](int status, const QByteArray &answer, QNetworkReply *) {
            if (status != 207)
                return fail(QStringLiteral("Unable to fetch tasks from the server (%1)").arg(StatusText(status)));
            QSet<QString> read;
            for (const DavResponse &r : ParseMultiStatus(answer).responses) {
                // Only what was asked for: an answer may not slip in other addresses.
                const QString path = memberPath(r.href);
                if (r.calendarData.isEmpty() || !asked.contains(path) || read.contains(path))
                    continue;
                read.insert(path);
                m_fetched.push_back({path, r.etag, r.calendarData});
            }
            // Left out of the answer, or given without its data: asked for again next time.
            m_unread += asked.size() - read.size();
            fetch(hrefs, to);
        });
    }

    struct Fetched {
        QString href;
        QString etag;
        QString ics;
    };

    // Database work: everything the server changed, then what goes up.
    void applyDownloads()
    {
        try {
            readTasksAndTombstones();
            const BulkCache cache(m_db);
            WriteBatch batch(m_db, WriteBatch::Unfinished::RollBack);
            TaskStore store(m_db);
            Query query(m_db);
            bindCollection(query);
            applyRemovals(store, query);
            applyFetched(store, query);
            batch.commit();
        } catch (const AppError &error) {
            return fail(error.message());
        }
        m_fetched.clear();
        upload();
    }

    void bindCollection(Query &query)
    {
        if (m_reset) {
            query.execute(QStringLiteral("delete from sync_state"), {});
            query.execute(QStringLiteral("delete from sync_tombstones"), {});
            query.execute(QStringLiteral("delete from sync_others"), {});
            query.execute(QStringLiteral("delete from sync_meta"), {});
        }
        for (const QString &tid : std::as_const(m_droppedState))
            query.execute(QStringLiteral("delete from sync_state where tid=?"), {tid});
        for (const QString &tid : std::as_const(m_droppedTombstones))
            query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {tid});
        if (m_reset || m_bind)
            query.execute(QStringLiteral("insert or replace into sync_meta (key, value) values (?, ?)"),
                          {CollectionKey, collectionId()});
        m_reset = m_bind = false;
    }

    // The task id each UID on the server stands for here.
    QHash<QString, QString> localIds() const
    {
        QHash<QString, QString> ids;
        for (const TTaskInfo &t : std::as_const(m_local))
            ids.insert(t.tid, t.tid);
        for (auto it = m_state.constBegin(); it != m_state.constEnd(); ++it)
            if (!it->uid.isEmpty())
                ids.insert(it->uid, it.key());
        return ids;
    }

    // The UID a task has on the server.
    QString uidOf(const QString &tid) const
    {
        const auto state = m_state.constFind(tid);
        return state != m_state.constEnd() && !state->uid.isEmpty() ? state->uid : tid;
    }

    // The task as it was last synced: the base of a merge.
    static std::optional<TTaskInfo> LastSynced(const State &state, const QString &tid)
    {
        IcalComponentPtr calendar = ParseIcal(state.ics.toUtf8());
        icalcomponent *todo = FirstVTodo(calendar.get());
        if (!todo)
            return std::nullopt;
        TTaskInfo task = ReadVTodo(todo);
        task.tid = tid;
        task.pid = state.shownPid;
        return task;
    }

    // Known objects gone from the server: deleted there. A task edited here stays and
    // goes up as new. Deleting a task on the server deletes only that task: its sub-tasks
    // here stay, under their parent on the server when that is still here, else at the
    // top level (another program may not even show sub-tasks).
    void applyRemovals(TaskStore &store, Query &query)
    {
        QSet<QString> gone;
        for (auto it = m_state.begin(); it != m_state.end();) {
            if (!m_removed.contains(it->href)) {
                ++it;
                continue;
            }
            query.execute(QStringLiteral("delete from sync_state where tid=?"), {it.key()});
            const auto local = m_local.constFind(it.key());
            if (local != m_local.constEnd() && Fingerprint(*local) == it->fingerprint)
                gone.insert(it.key());
            it = m_state.erase(it);
        }
        QSet<QString> orphans;
        for (const TTaskInfo &t : std::as_const(m_local))
            if (gone.contains(t.pid) && !gone.contains(t.tid))
                orphans.insert(t.tid);
        if (!orphans.isEmpty()) {
            const QHash<QString, QString> ids = localIds();
            std::vector<TTaskInfo> all;
            all.reserve(m_local.size());
            for (const TTaskInfo &t : std::as_const(m_local)) {
                if (gone.contains(t.tid))
                    continue;
                all.push_back(t);
                if (orphans.contains(t.tid))
                    all.back().pid = parentThere(t, ids);
            }
            ShowAtTwoLevels(all);
            for (const TTaskInfo &shown : all) {
                if (!orphans.contains(shown.tid))
                    continue;
                TTaskInfo &task = m_local[shown.tid];
                const auto state = m_state.find(task.tid);
                const bool unedited = state != m_state.end() && state->fingerprint == Fingerprint(task);
                store.move(task.tid, shown.pid, false);
                task.pid = shown.pid;
                m_outcome.local.changed.append(task.tid);
                if (unedited) {
                    // Moved here only: the object on the server keeps its link as it is.
                    State kept = *state;
                    kept.fingerprint = Fingerprint(task);
                    kept.shownPid = task.pid;
                    writeState(query, task.tid, kept);
                }
            }
            m_notes.append(Counted(orphans.size(), "sub-task", "sub-tasks") +
                           QStringLiteral(" of tasks deleted on the server kept here"));
        }
        for (const QString &tid : std::as_const(gone)) {
            store.remove(tid);
            m_outcome.local.removed.append(tid);
            m_local.remove(tid);
        }
        // Deletes and other objects whose object is already gone.
        for (auto it = m_tombstones.begin(); it != m_tombstones.end();) {
            if (!m_removed.contains(it->href)) {
                ++it;
            } else {
                query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {it.key()});
                it = m_tombstones.erase(it);
            }
        }
        for (auto it = m_others.begin(); it != m_others.end();) {
            if (!m_removed.contains(it.key())) {
                ++it;
            } else {
                query.execute(QStringLiteral("delete from sync_others where href=?"), {it.key()});
                it = m_others.erase(it);
            }
        }
    }

    // The parent a synced, unedited sub-task has on the server; top-level for any other.
    QString parentThere(const TTaskInfo &task, const QHash<QString, QString> &ids) const
    {
        const auto state = m_state.constFind(task.tid);
        if (state == m_state.constEnd() || state->fingerprint != Fingerprint(task))
            return RootPid;
        IcalComponentPtr calendar = ParseIcal(state->ics.toUtf8());
        icalcomponent *todo = FirstVTodo(calendar.get());
        const QString uid = todo ? ReadVTodo(todo).pid : RootPid;
        return uid == RootPid ? RootPid : ids.value(uid, RootPid);
    }

    // Whether a new object's UID can be its task's id here: not "root" (the parent id of
    // every top-level task), not empty, not another task's, and not one that stored rows
    // name as their parent (they would be taken in under it). Our own task uploaded
    // before its state was kept comes back under its own id.
    bool usableId(const QString &uid, const QSet<QString> &taken)
    {
        if (uid.isEmpty() || uid == RootPid || taken.contains(uid) || m_state.contains(uid) || m_tombstones.contains(uid))
            return false;
        if (m_local.contains(uid))
            return true;
        Query query(m_db);
        query.open(QStringLiteral("select 1 from tasks where tid=? or pid=? limit 1"), {uid, uid});
        return query.eof();
    }

    // A fetched object that holds no task. One that held a task before is never given
    // up on; another is asked for once more, and when it comes again at the same ETag
    // without a task it is settled as not ours (an event in a shared calendar).
    void noTask(Query &query, const Fetched &f, bool wasTask)
    {
        if (!wasTask) {
            const auto other = m_others.constFind(f.href);
            if (other != m_others.constEnd() && !f.etag.isEmpty() && other->etag == f.etag) {
                if (!other->settled)
                    query.execute(QStringLiteral("update sync_others set settled=1 where href=?"), {f.href});
                m_others[f.href].settled = true;
                return;
            }
            query.execute(QStringLiteral("insert or replace into sync_others (href, etag, settled) values (?, ?, 0)"),
                          {f.href, f.etag});
            m_others.insert(f.href, {f.etag, false});
        }
        ++m_unread;
    }

    struct Incoming {
        TTaskInfo task;
        const Fetched *from;
        QString uid;  // the object's UID where it is not the task's id
    };

    void applyFetched(TaskStore &store, Query &query)
    {
        if (m_fetched.empty())
            return;
        QHash<QString, QString> tidOfHref, buriedOfHref;
        for (auto it = m_state.constBegin(); it != m_state.constEnd(); ++it)
            tidOfHref.insert(it->href, it.key());
        for (auto it = m_tombstones.constBegin(); it != m_tombstones.constEnd(); ++it)
            buriedOfHref.insert(it->href, it.key());
        QHash<QString, QString> ids = localIds();
        std::vector<Incoming> incoming;
        QSet<QString> taken;
        for (const Fetched &f : m_fetched) {
            const QString known = tidOfHref.value(f.href);
            const QString buried = buriedOfHref.value(f.href);
            IcalComponentPtr calendar = ParseIcal(f.ics.toUtf8());
            icalcomponent *todo = FirstVTodo(calendar.get());
            if (!todo) {
                noTask(query, f, !known.isEmpty() || !buried.isEmpty());
                continue;
            }
            TTaskInfo task = ReadVTodo(todo);
            const QString uid = task.tid;
            // Who the object is here: the task its address was synced as, else its UID.
            if (!known.isEmpty()) {
                if (!f.etag.isEmpty() && f.etag == m_state.value(known).etag)
                    continue;  // as it was synced
                task.tid = known;
            } else if (!buried.isEmpty()) {
                if (!f.etag.isEmpty() && f.etag == m_tombstones.value(buried).etag)
                    continue;  // the delete goes up
                // Deleted here and changed there: the change wins, the task comes back.
                query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {buried});
                m_tombstones.remove(buried);
                task.tid = buried;
            } else {
                task.tid = usableId(uid, taken) ? uid : NewGuid();
            }
            if (m_others.remove(f.href))
                query.execute(QStringLiteral("delete from sync_others where href=?"), {f.href});
            taken.insert(task.tid);
            if (!uid.isEmpty() && !ids.contains(uid))
                ids.insert(uid, task.tid);
            incoming.push_back({task, &f, uid.isEmpty() || uid == task.tid ? QString() : uid});
        }
        // Parent links name UIDs: the ids here, then the two levels the list shows, with the
        // local tasks the new ones hang under.
        std::vector<TTaskInfo> all;
        QSet<QString> incomingIds;
        for (Incoming &in : incoming) {
            if (in.task.pid != RootPid)
                in.task.pid = ids.value(in.task.pid, in.task.pid);
            all.push_back(in.task);
            incomingIds.insert(in.task.tid);
        }
        for (const TTaskInfo &t : std::as_const(m_local))
            if (!incomingIds.contains(t.tid))
                all.push_back(t);
        ShowAtTwoLevels(all);
        for (std::size_t i = 0; i < incoming.size(); ++i)
            take(store, query, all[i], *incoming[i].from, incoming[i].uid);
    }

    // One task from the server. Changed here too: merged field by field with ours; a
    // field both changed differently keeps the server's version, ours becomes a copy.
    void take(TaskStore &store, Query &query, const TTaskInfo &task, const Fetched &f, const QString &uid)
    {
        const auto local = m_local.constFind(task.tid);
        const auto state = m_state.constFind(task.tid);
        TTaskInfo kept = task;
        if (local != m_local.constEnd()) {
            const bool editedHere = state == m_state.constEnd() || Fingerprint(*local) != state->fingerprint;
            if (editedHere && !(*local == task)) {
                const std::optional<TTaskInfo> base =
                    state != m_state.constEnd() ? LastSynced(*state, task.tid) : std::nullopt;
                const TaskMerge merge = base ? MergeTask(*base, *local, task) : TaskMerge{task, true};
                if (merge.conflict) {
                    TTaskInfo copy = *local;
                    copy.tid = NewGuid();
                    copy.content = ConflictPrefix + copy.content;
                    store.insertRecord(copy);
                    m_local.insert(copy.tid, copy);
                    m_outcome.local.added.append(copy.tid);
                    ++m_outcome.conflicts;
                } else {
                    // Goes up onto the server's object as it is now, its other properties kept.
                    kept = merge.merged;
                }
            }
            if (!(*local == kept)) {
                store.storeRecord(kept);
                m_outcome.local.changed.append(kept.tid);
            }
        } else {
            store.insertRecord(task);
            m_outcome.local.added.append(task.tid);
        }
        m_local.insert(kept.tid, kept);
        writeState(query, task.tid, {f.href, f.etag, Fingerprint(task), f.ics, task.pid, uid});
        ++m_outcome.downloaded;
    }

    void writeState(Query &query, const QString &tid, const State &s)
    {
        query.execute(QStringLiteral("insert or replace into sync_state (tid, href, etag, fingerprint, ics, shown_pid, uid) "
                                     "values (?, ?, ?, ?, ?, ?, ?)"),
                      {tid, s.href, s.etag, s.fingerprint, s.ics, s.shownPid, NullIfEmpty(s.uid)});
        m_state.insert(tid, s);
    }

    // Where a new task goes: its id as the name when that is a plain one, else a new one.
    QString newHref(const QString &tid) const
    {
        static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._@-]{0,199}$"));
        QString name = QString(tid).remove(QLatin1Char('{')).remove(QLatin1Char('}'));
        if (!plain.match(name).hasMatch())
            name = NewGuid().remove(QLatin1Char('{')).remove(QLatin1Char('}'));
        return collectionPath() + name + QStringLiteral(".ics");
    }

    void upload()
    {
        for (const TTaskInfo &task : std::as_const(m_local)) {
            const auto state = m_state.constFind(task.tid);
            if (state != m_state.constEnd() && state->fingerprint == Fingerprint(task))
                continue;
            const bool known = state != m_state.constEnd();
            // On the wire the task and its parent go by their UIDs there.
            TTaskInfo wire = task;
            wire.tid = uidOf(task.tid);
            if (wire.pid != RootPid)
                wire.pid = uidOf(task.pid);
            IcalComponentPtr calendar;
            if (known && !state->ics.isEmpty())
                calendar = ParseIcal(state->ics.toUtf8());
            icalcomponent *todo = FirstVTodo(calendar.get());
            QByteArray text;
            if (todo) {
                const QString shown = state->shownPid == RootPid ? RootPid : uidOf(state->shownPid);
                WriteVTodo(todo, wire, shown);  // the server's other properties stay
                text = IcalText(calendar.get());
            } else {
                text = TasksAsIcs({wire});
            }
            const QString href = known ? state->href : newHref(task.tid);
            QList<QPair<QByteArray, QByteArray>> headers{{"Content-Type", "text/calendar; charset=utf-8"}};
            if (known && !state->etag.isEmpty())
                headers.append({"If-Match", state->etag.toUtf8()});
            else if (!known)
                headers.append({QByteArray("If-None-Match"), QByteArray("*")});
            const State sent{href, {}, Fingerprint(task), QString::fromUtf8(text), task.pid, known ? state->uid : QString()};
            ++m_pending;
            queue([=, this] { send("PUT", address(href), text, headers, [this, tid = task.tid, sent](int status, const QByteArray &, QNetworkReply *reply) {
                if (status == 412) {
                    refused(sent.href);
                } else if (status / 100 == 2) {
                    State s = sent;
                    s.etag = QString::fromUtf8(reply->rawHeader("ETag"));  // none: fetched next time
                    m_written.append({tid, s});
                    ++m_outcome.uploaded;
                } else {
                    m_error = QStringLiteral("The server refused a task (%1)").arg(StatusText(status));
                }
                answered();
            }); });
        }
        for (auto it = m_tombstones.constBegin(); it != m_tombstones.constEnd(); ++it) {
            QList<QPair<QByteArray, QByteArray>> headers;
            if (!it->etag.isEmpty())
                headers.append({"If-Match", it->etag.toUtf8()});
            ++m_pending;
            queue([=, this, href = it->href, tid = it.key()] { send("DELETE", address(href), {}, headers, [this, tid, href](int status, const QByteArray &, QNetworkReply *) {
                if (status == 412)
                    refused(href);
                else if (status / 100 == 2 || status == 404) {
                    m_deleted.append(tid);
                    ++m_outcome.deletedRemote;
                } else
                    m_error = QStringLiteral("The server refused a delete (%1)").arg(StatusText(status));
                answered();
            }); });
        }
        ++m_pending;
        pump();
        settle();
    }

    // Changed there meanwhile: fetched and decided again, whatever the next listing says.
    void refused(const QString &href)
    {
        m_retry = true;
        m_mustFetch.insert(href);
    }

    // Writes go out a few at a time: thousands queued at once would wait in the network
    // layer and run out their transfer timeout before they were even sent.
    void queue(std::function<void()> request) { m_queue.push_back(std::move(request)); }
    void pump()
    {
        while (m_inFlight < MaxInFlight && !m_queue.empty()) {
            std::function<void()> request = std::move(m_queue.front());
            m_queue.pop_front();
            ++m_inFlight;
            request();
        }
    }
    void answered()
    {
        --m_inFlight;
        pump();
        settle();
    }

    void settle()
    {
        if (--m_pending > 0)
            return;
        // Everything up to the token is applied here only when every object it listed was
        // read, the listing could decide, and no write was refused.
        const bool tokenMoves =
            !m_newToken.isEmpty() && m_error.isEmpty() && !m_retry && m_unread == 0 && !m_undecided;
        try {
            WriteBatch batch(m_db, WriteBatch::Unfinished::RollBack);
            Query query(m_db);
            for (const auto &[tid, s] : std::as_const(m_written)) {
                // Changed again while it was on its way: stays changed.
                const auto local = TaskStore(m_db).find(tid);
                State kept = s;
                if (!local || Fingerprint(*local) != s.fingerprint)
                    kept.fingerprint.clear();
                if (local)
                    writeState(query, tid, kept);
                else  // deleted while it was on its way: the delete follows it
                    query.execute(QStringLiteral("insert or replace into sync_tombstones (tid, href, etag, ics, shown_pid, uid) "
                                                 "values (?, ?, ?, ?, ?, ?)"),
                                  {tid, s.href, s.etag, s.ics, s.shownPid, NullIfEmpty(s.uid)});
            }
            for (const QString &tid : std::as_const(m_deleted))
                query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {tid});
            if (tokenMoves)
                query.execute(QStringLiteral("insert or replace into sync_meta (key, value) values (?, ?)"),
                              {TokenKey + m_collection.path(), m_newToken});
            batch.commit();
        } catch (const AppError &error) {
            return fail(error.message());
        }
        m_written.clear();
        m_deleted.clear();
        if (!m_error.isEmpty())
            return fail(m_error);
        if (m_retry && m_rounds < MaxRounds)
            return round();
        if (m_retry)
            return fail(QStringLiteral("Tasks kept changing on the server during the sync; sync again"));
        if (m_truncated && tokenMoves && ++m_pages < MaxPages) {
            m_rounds = 0;
            return round();
        }
        if (m_unread > 0)
            m_notes.append(Counted(m_unread, "object", "objects") +
                           QStringLiteral(" of the collection could not be read as a task; asked for again next time"));
        if (m_undecided)
            m_notes.append(QStringLiteral("The server's listing gave no ETags: nothing was deleted here on its strength"));
        if (!m_outside.isEmpty())
            m_notes.append(ListedNote(QStringLiteral("Skipped addresses outside the collection: "), m_outside));
        m_outcome.notes = m_notes;
        m_outcome.ok = true;
        finish();
    }

    void send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const DavClient::Headers &headers, Done done)
    {
        m_http.send(verb, url, body, headers, std::move(done));
    }
    void propfind(const QUrl &url, int depth, const char *props, Done done)
    {
        m_http.propfind(url, depth, props, std::move(done));
    }
    static QString StatusText(int status) { return DavClient::StatusText(status); }

    void fail(const QString &error)
    {
        m_outcome.ok = false;
        m_outcome.error = error;
        m_outcome.refusedCertificate = m_http.refusedCertificate();
        finish();
    }

    void finish()
    {
        if (m_finished)
            return;
        m_finished = true;
        m_http.stop();
        emit finished(m_outcome);
    }

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

}  // namespace

std::unique_ptr<SyncRunner> MakeCalDavSync(Connection &db, const SyncSettings &settings, const QString &password,
                                           QObject *parent, std::function<void(const QString &)> foundCollection)
{
    return std::make_unique<CalDavSync>(db, settings, password, parent, std::move(foundCollection));
}

}  // namespace quillpad
