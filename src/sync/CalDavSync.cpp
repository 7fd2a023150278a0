// The CalDAV sync: the changes since the last sync token (or every ETag),
// calendar-multiget to fetch, PUT and DELETE with preconditions. Network on the event loop; the database is
// read before the first request and written in one transaction after the last answer.
//
// Rule for a task both sides changed: the server's version stays, ours is kept as a new
// task whose text starts with "Conflict copy: ", uploaded as any new task is.

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
#include "sync/VTodoMapping.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QHash>
#include <QNetworkReply>
#include <QPointer>
#include <QSet>
#include <QUrl>

#include <deque>

namespace quillpad {

namespace {

constexpr int MultigetBatch = 200;
constexpr int MaxRounds = 3;  // a round again after a 412: re-fetch and re-decide
constexpr int MaxInFlight = 6;  // requests on the wire at once, as many as connections
constexpr int MaxPages = 10000;  // rounds for a change list the server gives in parts
const QString ConflictPrefix = QStringLiteral("Conflict copy: ");
const QString TokenKey = QStringLiteral("sync-token ");  // + the collection's path

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

    // A 507 on the collection itself: the server gave only part of the changes, the rest
    // follow from the new token. A partial listing never counts as complete.
    bool Truncated(const DavMultiStatus &listing) const
    {
        for (const DavResponse &r : listing.responses)
            if (r.status == 507 && m_collection.resolved(QUrl(r.href)).path() == m_collection.path())
                return true;
        return false;
    }

    // complete: the listing names every object, so a known one it lacks was deleted there.
    void decide(const DavMultiStatus &listing, bool complete)
    {
        m_newToken = listing.syncToken;
        m_removed.clear();
        m_truncated = !complete && Truncated(listing);
        QHash<QString, QString> listed;  // href -> etag
        for (const DavResponse &r : listing.responses) {
            const QString path = m_collection.resolved(QUrl(r.href)).path();
            if (path == m_collection.path())
                continue;
            if (r.status == 404)
                m_removed.insert(path);
            else if (!r.etag.isEmpty())
                listed.insert(path, r.etag);
        }
        QStringList toFetch;
        QSet<QString> known;
        for (const State &s : std::as_const(m_state)) {
            known.insert(s.href);
            const auto remote = listed.constFind(s.href);
            if (remote != listed.constEnd() && *remote != s.etag)
                toFetch.append(s.href);
        }
        for (const State &s : std::as_const(m_tombstones))
            known.insert(s.href);
        for (auto it = listed.constBegin(); it != listed.constEnd(); ++it)
            if (!known.contains(it.key()))
                toFetch.append(it.key());
        if (complete)
            for (const QString &href : std::as_const(known))
                if (!listed.contains(href))
                    m_removed.insert(href);
        fetch(toFetch, 0);
    }

    void readLocal()
    {
        m_state.clear();
        Query query(m_db);
        query.open(QStringLiteral("select tid, href, etag, fingerprint, ics, shown_pid from sync_state"), {});
        for (; !query.eof(); query.next())
            m_state.insert(query.field(0).asString(), {query.field(1).asString(), query.field(2).asString(),
                                                       query.field(3).asString(), query.field(4).asString(),
                                                       query.field(5).asString()});
        m_token.clear();
        query.open(QStringLiteral("select value from sync_meta where key=?"), {TokenKey + m_collection.path()});
        if (!query.eof())
            m_token = query.field(0).asString();
        readTasksAndTombstones();
    }

    // The program keeps editing while the requests are out: the tasks and deletes are read
    // again right before the answers are applied, so an edit made meanwhile is compared too.
    void readTasksAndTombstones()
    {
        m_local.clear();
        m_tombstones.clear();
        TaskSnapshot snapshot;
        TaskStore(m_db).load(snapshot);
        for (const TaskWithSubTasks &entry : snapshot) {
            m_local.insert(entry.task.tid, entry.task);
            for (const TTaskInfo &child : entry.subTasks)
                m_local.insert(child.tid, child);
        }
        Query query(m_db);
        query.open(QStringLiteral("select tid, href, etag from sync_tombstones"), {});
        for (; !query.eof(); query.next())
            m_tombstones.insert(query.field(0).asString(), {query.field(1).asString(), query.field(2).asString(), {}, {}, {}});
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
        send("REPORT", m_collection, body, {{"Depth", "1"}}, [this, hrefs, to](int status, const QByteArray &answer, QNetworkReply *) {
            if (status != 207)
                return fail(QStringLiteral("Unable to fetch tasks from the server (%1)").arg(StatusText(status)));
            for (const DavResponse &r : ParseMultiStatus(answer).responses) {
                if (r.calendarData.isEmpty())
                    continue;
                m_fetched.push_back({m_collection.resolved(QUrl(r.href)).path(), r.etag, r.calendarData});
                ++m_outcome.downloaded;
            }
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
            QMultiHash<QString, QString> subTasks;  // parent -> sub-task
            for (const TTaskInfo &t : std::as_const(m_local))
                if (t.pid != RootPid)
                    subTasks.insert(t.pid, t.tid);
            // Known objects gone from the server: deleted there.
            for (auto it = m_state.begin(); it != m_state.end();) {
                if (!m_removed.contains(it->href)) {
                    ++it;
                    continue;
                }
                const auto local = m_local.constFind(it.key());
                query.execute(QStringLiteral("delete from sync_state where tid=?"), {it.key()});
                if (local != m_local.constEnd() && Fingerprint(*local) != it->fingerprint) {
                    // Edited here, deleted there: the edit stays and goes up as new.
                } else if (local != m_local.constEnd()) {
                    store.remove(it.key());  // its sub-tasks go with it
                    m_outcome.local.removed.append(it.key());
                    m_local.remove(it.key());
                    for (const QString &child : subTasks.values(it.key())) {
                        if (m_local.remove(child))
                            m_outcome.local.removed.append(child);
                    }
                }
                it = m_state.erase(it);
            }
            // Tombstones whose object is already gone.
            for (auto it = m_tombstones.begin(); it != m_tombstones.end();) {
                if (!m_removed.contains(it->href)) {
                    ++it;
                } else {
                    query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {it.key()});
                    it = m_tombstones.erase(it);
                }
            }
            std::vector<TTaskInfo> incoming;
            std::vector<IcalComponentPtr> keep;
            for (const Fetched &f : m_fetched) {
                IcalComponentPtr calendar = ParseIcal(f.ics.toUtf8());
                icalcomponent *todo = calendar ? (icalcomponent_isa(calendar.get()) == ICAL_VTODO_COMPONENT
                                                      ? calendar.get()
                                                      : icalcomponent_get_first_component(calendar.get(), ICAL_VTODO_COMPONENT))
                                               : nullptr;
                if (!todo)
                    continue;
                TTaskInfo task = ReadVTodo(todo);
                if (task.tid.isEmpty())
                    continue;
                if (m_tombstones.contains(task.tid)) {
                    // Deleted here and changed there: the change wins, the task comes back.
                    query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {task.tid});
                    m_tombstones.remove(task.tid);
                }
                incoming.push_back(task);
                m_fetchedByTid.insert(task.tid, f);
            }
            // The two levels the list shows, with the local tasks the new ones hang under.
            std::vector<TTaskInfo> all = incoming;
            QSet<QString> incomingIds;
            for (const TTaskInfo &t : incoming)
                incomingIds.insert(t.tid);
            for (const TTaskInfo &t : std::as_const(m_local))
                if (!incomingIds.contains(t.tid))
                    all.push_back(t);
            ShowAtTwoLevels(all);
            for (TTaskInfo &task : all) {
                if (!incomingIds.contains(task.tid))
                    continue;
                const Fetched &f = m_fetchedByTid[task.tid];
                const auto local = m_local.constFind(task.tid);
                const auto state = m_state.constFind(task.tid);
                if (local != m_local.constEnd()) {
                    const bool editedHere = state == m_state.constEnd() || Fingerprint(*local) != state->fingerprint;
                    if (editedHere && !(*local == task)) {
                        TTaskInfo copy = *local;
                        copy.tid = NewGuid();
                        copy.content = ConflictPrefix + copy.content;
                        store.insertRecord(copy);
                        m_local.insert(copy.tid, copy);
                        m_outcome.local.added.append(copy.tid);
                        ++m_outcome.conflicts;
                    }
                    if (!(*local == task)) {
                        store.storeRecord(task);
                        m_outcome.local.changed.append(task.tid);
                    }
                } else {
                    store.insertRecord(task);
                    m_outcome.local.added.append(task.tid);
                }
                m_local.insert(task.tid, task);
                const State synced{f.href, f.etag, Fingerprint(task), f.ics, task.pid};
                writeState(query, task.tid, synced);
            }
            batch.commit();
        } catch (const AppError &error) {
            return fail(error.message());
        }
        m_fetched.clear();
        upload();
    }

    void writeState(Query &query, const QString &tid, const State &s)
    {
        query.execute(QStringLiteral("insert or replace into sync_state (tid, href, etag, fingerprint, ics, shown_pid) "
                                     "values (?, ?, ?, ?, ?, ?)"),
                      {tid, s.href, s.etag, s.fingerprint, s.ics, s.shownPid});
        m_state.insert(tid, s);
    }

    void upload()
    {
        for (const TTaskInfo &task : std::as_const(m_local)) {
            const auto state = m_state.constFind(task.tid);
            if (state != m_state.constEnd() && state->fingerprint == Fingerprint(task))
                continue;
            IcalComponentPtr calendar;
            if (state != m_state.constEnd() && !state->ics.isEmpty())
                calendar = ParseIcal(state->ics.toUtf8());
            icalcomponent *todo = calendar ? icalcomponent_get_first_component(calendar.get(), ICAL_VTODO_COMPONENT) : nullptr;
            QByteArray text;
            if (todo) {
                WriteVTodo(todo, task, state->shownPid);  // the server's other properties stay
                text = IcalText(calendar.get());
            } else {
                text = TasksAsIcs({task});
            }
            const bool known = state != m_state.constEnd();
            const QString href = known ? state->href : m_collection.path() + QString(task.tid).remove(QLatin1Char('{')).remove(QLatin1Char('}')) + QStringLiteral(".ics");
            QList<QPair<QByteArray, QByteArray>> headers{{"Content-Type", "text/calendar; charset=utf-8"}};
            if (known && !state->etag.isEmpty())
                headers.append({"If-Match", state->etag.toUtf8()});
            else if (!known)
                headers.append({QByteArray("If-None-Match"), QByteArray("*")});
            const State sent{href, {}, Fingerprint(task), QString::fromUtf8(text), task.pid};
            ++m_pending;
            queue([=, this] { send("PUT", m_server.resolved(QUrl(href)), text, headers, [this, tid = task.tid, sent](int status, const QByteArray &, QNetworkReply *reply) {
                if (status == 412) {
                    m_retry = true;  // changed there meanwhile: fetch it and decide again
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
            queue([=, this, href = it->href, tid = it.key()] { send("DELETE", m_server.resolved(QUrl(href)), {}, headers, [this, tid](int status, const QByteArray &, QNetworkReply *) {
                if (status == 412)
                    m_retry = true;
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
                    query.execute(QStringLiteral("insert or replace into sync_tombstones (tid, href, etag, ics, shown_pid) "
                                                 "values (?, ?, ?, ?, ?)"),
                                  {tid, s.href, s.etag, s.ics, s.shownPid});
            }
            for (const QString &tid : std::as_const(m_deleted))
                query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {tid});
            // Everything up to this token is applied here.
            if (!m_newToken.isEmpty() && m_error.isEmpty())
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
        if (m_truncated && !m_newToken.isEmpty() && ++m_pages < MaxPages) {
            m_rounds = 0;
            return round();
        }
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
    QSet<QString> m_removed;  // objects deleted on the server
    QString m_token;     // the collection's sync token as of the last sync
    QString m_newToken;  // as of this round's listing
    std::vector<Fetched> m_fetched;
    QHash<QString, Fetched> m_fetchedByTid;
    QList<QPair<QString, State>> m_written;
    QStringList m_deleted;
    QString m_error;
    SyncOutcome m_outcome;
    int m_pending = 0;
    std::deque<std::function<void()>> m_queue;  // writes not sent yet
    int m_inFlight = 0;
    int m_rounds = 0;
    int m_pages = 0;
    bool m_truncated = false;  // the server's change list goes on from m_newToken
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
