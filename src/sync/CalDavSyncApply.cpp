// The sync's database side: the state it reads before the first request, and the
// server's changes applied in one transaction after the last answer.

#include "store/AppError.h"
#include "store/Connection.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "sync/CalDavSync.h"
#include "sync/TaskMerge.h"
#include "sync/VTodoMapping.h"

#include <QCryptographicHash>
#include <QDataStream>

namespace quillpad::caldav {

namespace {

const QString ConflictPrefix = QStringLiteral("Conflict copy: ");

}  // namespace

QString Fingerprint(const TTaskInfo &t)
{
    QByteArray data;
    QDataStream out(&data, QIODevice::WriteOnly);
    out << t.tid << t.pid << t.content << t.checkFlag << t.dueFlag << t.alarmFlag << t.expandFlag << t.textColor
        << t.backgroundColor << t.createTime << t.editTime << t.checkTime << t.alarmTime << t.dueTime;
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
}

icalcomponent *FirstVTodo(icalcomponent *calendar)
{
    if (!calendar)
        return nullptr;
    if (icalcomponent_isa(calendar) == ICAL_VTODO_COMPONENT)
        return calendar;
    return icalcomponent_get_first_component(calendar, ICAL_VTODO_COMPONENT);
}

void CalDavSync::readLocal()
{
    SyncStateStore kept(m_db);
    m_state = kept.states();
    m_others = kept.others();
    m_token = kept.value(TokenKey + m_collection.path());
    const QString bound = kept.value(CollectionKey);
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
    dropOutside(m_state, m_droppedState);
    readTasksAndTombstones();
}

void CalDavSync::dropOutside(QHash<QString, State> &objects, QStringList &dropped)
{
    for (auto it = objects.begin(); it != objects.end();) {
        if (memberPath(it->href) == it->href) {
            ++it;
        } else {
            skipOutside(it->href);
            dropped.append(it.key());
            it = objects.erase(it);
        }
    }
}

void CalDavSync::readTasksAndTombstones()
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
    m_tombstones = SyncStateStore(m_db).tombstones();
    dropOutside(m_tombstones, m_droppedTombstones);
}

void CalDavSync::applyDownloads()
{
    try {
        readTasksAndTombstones();
        const BulkCache cache(m_db);
        WriteBatch batch(m_db, WriteBatch::Unfinished::RollBack);
        TaskStore store(m_db);
        SyncStateStore kept(m_db);
        bindCollection(kept);
        applyRemovals(store, kept);
        applyFetched(store, kept);
        batch.commit();
    } catch (const AppError &error) {
        return fail(error.message());
    }
    m_fetched.clear();
    upload();
}

void CalDavSync::bindCollection(SyncStateStore &kept)
{
    if (m_reset)
        kept.forgetAll();
    for (const QString &tid : std::as_const(m_droppedState))
        kept.dropState(tid);
    for (const QString &tid : std::as_const(m_droppedTombstones))
        kept.dropTombstone(tid);
    if (m_reset || m_bind)
        kept.setValue(CollectionKey, collectionId());
    m_reset = m_bind = false;
}

QHash<QString, QString> CalDavSync::localIds() const
{
    QHash<QString, QString> ids;
    for (const TTaskInfo &t : std::as_const(m_local))
        ids.insert(t.tid, t.tid);
    for (auto it = m_state.constBegin(); it != m_state.constEnd(); ++it)
        if (!it->uid.isEmpty())
            ids.insert(it->uid, it.key());
    return ids;
}

QString CalDavSync::uidOf(const QString &tid) const
{
    const auto state = m_state.constFind(tid);
    return state != m_state.constEnd() && !state->uid.isEmpty() ? state->uid : tid;
}

std::optional<TTaskInfo> CalDavSync::LastSynced(const State &state, const QString &tid)
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

void CalDavSync::applyRemovals(TaskStore &store, SyncStateStore &kept)
{
    QSet<QString> gone;
    for (auto it = m_state.begin(); it != m_state.end();) {
        if (!m_removed.contains(it->href)) {
            ++it;
            continue;
        }
        kept.dropState(it.key());
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
                State moved = *state;
                moved.fingerprint = Fingerprint(task);
                moved.shownPid = task.pid;
                writeState(kept, task.tid, moved);
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
            kept.dropTombstone(it.key());
            it = m_tombstones.erase(it);
        }
    }
    for (auto it = m_others.begin(); it != m_others.end();) {
        if (!m_removed.contains(it.key())) {
            ++it;
        } else {
            kept.dropOther(it.key());
            it = m_others.erase(it);
        }
    }
}

QString CalDavSync::parentThere(const TTaskInfo &task, const QHash<QString, QString> &ids) const
{
    const auto state = m_state.constFind(task.tid);
    if (state == m_state.constEnd() || state->fingerprint != Fingerprint(task))
        return RootPid;
    IcalComponentPtr calendar = ParseIcal(state->ics.toUtf8());
    icalcomponent *todo = FirstVTodo(calendar.get());
    const QString uid = todo ? ReadVTodo(todo).pid : RootPid;
    return uid == RootPid ? RootPid : ids.value(uid, RootPid);
}

bool CalDavSync::usableId(const QString &uid, const QSet<QString> &taken)
{
    if (uid.isEmpty() || uid == RootPid || taken.contains(uid) || m_state.contains(uid) || m_tombstones.contains(uid))
        return false;
    if (m_local.contains(uid))
        return true;
    return !TaskStore(m_db).idInUse(uid);
}

void CalDavSync::noTask(SyncStateStore &kept, const Fetched &f, bool wasTask)
{
    if (!wasTask) {
        const auto other = m_others.constFind(f.href);
        if (other != m_others.constEnd() && !f.etag.isEmpty() && other->etag == f.etag) {
            if (!other->settled)
                kept.settleOther(f.href);
            m_others[f.href].settled = true;
            return;
        }
        kept.writeOther(f.href, f.etag);
        m_others.insert(f.href, {f.etag, false});
    }
    ++m_unread;
}

void CalDavSync::applyFetched(TaskStore &store, SyncStateStore &kept)
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
            noTask(kept, f, !known.isEmpty() || !buried.isEmpty());
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
            kept.dropTombstone(buried);
            m_tombstones.remove(buried);
            task.tid = buried;
        } else {
            task.tid = usableId(uid, taken) ? uid : NewGuid();
        }
        if (m_others.remove(f.href))
            kept.dropOther(f.href);
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
        take(store, kept, all[i], *incoming[i].from, incoming[i].uid);
}

void CalDavSync::take(TaskStore &store, SyncStateStore &stateStore, const TTaskInfo &task, const Fetched &f, const QString &uid)
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
    writeState(stateStore, task.tid, {f.href, f.etag, Fingerprint(task), f.ics, task.pid, uid});
    ++m_outcome.downloaded;
}

void CalDavSync::writeState(SyncStateStore &kept, const QString &tid, const State &s)
{
    kept.writeState(tid, s);
    m_state.insert(tid, s);
}

}  // namespace quillpad::caldav
