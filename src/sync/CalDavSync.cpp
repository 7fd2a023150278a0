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

#include "sync/CalDavSync.h"

#include "store/AppError.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "sync/IcsFile.h"
#include "sync/VTodoMapping.h"

#include <QNetworkReply>
#include <QRegularExpression>

namespace quillpad::caldav {

namespace {

constexpr int MultigetBatch = 200;
constexpr int MaxRounds = 3;  // a round again after a 412: re-fetch and re-decide
constexpr int MaxInFlight = 6;  // requests on the wire at once, as many as connections
constexpr int MaxPages = 10000;  // rounds for a change list the server gives in parts
constexpr int NamedInNote = 3;  // addresses a note names before "and N more"

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

// A line for the user that names a few addresses.
QString ListedNote(const QString &what, const QStringList &hrefs)
{
    QString line = what + hrefs.mid(0, NamedInNote).join(QStringLiteral(", "));
    if (hrefs.size() > NamedInNote)
        line += QStringLiteral(" and %1 more").arg(hrefs.size() - NamedInNote);
    return line;
}

}  // namespace

void CalDavSync::start()
{
    QMetaObject::invokeMethod(this, [this] { begin(); }, Qt::QueuedConnection);
}

void CalDavSync::begin()
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

void CalDavSync::discovered(const QList<TaskCollection> &found)
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

void CalDavSync::round()
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

void CalDavSync::listByEtag()
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

QString CalDavSync::collectionPath() const
{
    QString path = m_collection.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

QString CalDavSync::collectionId() const
{
    return m_collection
        .adjusted(QUrl::RemoveUserInfo | QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::StripTrailingSlash |
                  QUrl::NormalizePathSegments)
        .toString();
}

bool CalDavSync::isCollectionItself(const QString &href) const
{
    const QUrl url = m_collection.resolved(QUrl(href));
    QString path = url.path();
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return sameOrigin(url) && path == collectionPath();
}

QString CalDavSync::memberPath(const QString &href) const
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

QUrl CalDavSync::address(const QString &path) const
{
    QUrl url = m_collection.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment);
    url.setPath(path, QUrl::DecodedMode);
    return url;
}

void CalDavSync::skipOutside(const QString &href)
{
    if (!m_outside.contains(href))
        m_outside.append(href);
}

bool CalDavSync::Truncated(const DavMultiStatus &listing) const
{
    for (const DavResponse &r : listing.responses)
        if (r.status == 507 && isCollectionItself(r.href))
            return true;
    return false;
}

void CalDavSync::decide(const DavMultiStatus &listing, bool full)
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

void CalDavSync::fetch(const QStringList &hrefs, int from)
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

QString CalDavSync::newHref(const QString &tid) const
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9][A-Za-z0-9._@-]{0,199}$"));
    QString name = QString(tid).remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    if (!plain.match(name).hasMatch())
        name = NewGuid().remove(QLatin1Char('{')).remove(QLatin1Char('}'));
    return collectionPath() + name + QStringLiteral(".ics");
}

void CalDavSync::upload()
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

void CalDavSync::refused(const QString &href)
{
    m_retry = true;
    m_mustFetch.insert(href);
}

void CalDavSync::pump()
{
    while (m_inFlight < MaxInFlight && !m_queue.empty()) {
        std::function<void()> request = std::move(m_queue.front());
        m_queue.pop_front();
        ++m_inFlight;
        request();
    }
}

void CalDavSync::answered()
{
    --m_inFlight;
    pump();
    settle();
}

void CalDavSync::settle()
{
    if (--m_pending > 0)
        return;
    // Everything up to the token is applied here only when every object it listed was
    // read, the listing could decide, and no write was refused.
    const bool tokenMoves =
        !m_newToken.isEmpty() && m_error.isEmpty() && !m_retry && m_unread == 0 && !m_undecided;
    try {
        WriteBatch batch(m_db, WriteBatch::Unfinished::RollBack);
        SyncStateStore stateStore(m_db);
        for (const auto &[tid, s] : std::as_const(m_written)) {
            // Changed again while it was on its way: stays changed.
            const auto local = TaskStore(m_db).find(tid);
            State kept = s;
            if (!local || Fingerprint(*local) != s.fingerprint)
                kept.fingerprint.clear();
            if (local)
                writeState(stateStore, tid, kept);
            else  // deleted while it was on its way: the delete follows it
                stateStore.writeTombstone(tid, s);
        }
        for (const QString &tid : std::as_const(m_deleted))
            stateStore.dropTombstone(tid);
        if (tokenMoves)
            stateStore.setValue(TokenKey + m_collection.path(), m_newToken);
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

void CalDavSync::send(const QByteArray &verb, const QUrl &url, const QByteArray &body, const DavClient::Headers &headers, Done done)
{
    m_http.send(verb, url, body, headers, std::move(done));
}

void CalDavSync::propfind(const QUrl &url, int depth, const char *props, Done done)
{
    m_http.propfind(url, depth, props, std::move(done));
}

void CalDavSync::fail(const QString &error)
{
    m_outcome.ok = false;
    m_outcome.error = error;
    m_outcome.refusedCertificate = m_http.refusedCertificate();
    finish();
}

void CalDavSync::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_http.stop();
    emit finished(m_outcome);
}

}  // namespace quillpad::caldav

namespace quillpad {

std::unique_ptr<SyncRunner> MakeCalDavSync(Connection &db, const SyncSettings &settings, const QString &password,
                                           QObject *parent, std::function<void(const QString &)> foundCollection)
{
    return std::make_unique<caldav::CalDavSync>(db, settings, password, parent, std::move(foundCollection));
}

}  // namespace quillpad
