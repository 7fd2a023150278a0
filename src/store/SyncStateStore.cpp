#include "store/SyncStateStore.h"

namespace quillpad {

namespace {

Query::Value NullIfEmpty(const QString &text)
{
    return text.isEmpty() ? Query::Value() : Query::Value(text);
}

}  // namespace

SyncStateStore::SyncStateStore(Connection &connection) : m_query(connection) {}

QHash<QString, SyncObjectState> SyncStateStore::readObjects(const QString &sql)
{
    QHash<QString, SyncObjectState> objects;
    m_query.open(sql, {});
    for (; !m_query.eof(); m_query.next())
        objects.insert(m_query.field(0).asString(),
                       {m_query.field(1).asString(), m_query.field(2).asString(), m_query.field(3).asString(),
                        m_query.field(4).asString(), m_query.field(5).asString(), m_query.field(6).asString()});
    m_query.close();
    return objects;
}

QHash<QString, SyncObjectState> SyncStateStore::states()
{
    return readObjects(QStringLiteral("select tid, href, etag, fingerprint, ics, shown_pid, uid from sync_state"));
}

QHash<QString, SyncObjectState> SyncStateStore::tombstones()
{
    return readObjects(QStringLiteral("select tid, href, etag, null, ics, shown_pid, uid from sync_tombstones"));
}

QHash<QString, SyncOtherObject> SyncStateStore::others()
{
    QHash<QString, SyncOtherObject> others;
    m_query.open(QStringLiteral("select href, etag, settled from sync_others"), {});
    for (; !m_query.eof(); m_query.next())
        others.insert(m_query.field(0).asString(), {m_query.field(1).asString(), m_query.field(2).asInteger() != 0});
    m_query.close();
    return others;
}

QString SyncStateStore::value(const QString &key)
{
    m_query.open(QStringLiteral("select value from sync_meta where key=?"), {key});
    const QString value = m_query.eof() ? QString() : m_query.field(0).asString();
    m_query.close();
    return value;
}

void SyncStateStore::setValue(const QString &key, const QString &value)
{
    m_query.execute(QStringLiteral("insert or replace into sync_meta (key, value) values (?, ?)"), {key, value});
}

void SyncStateStore::forgetAll()
{
    m_query.execute(QStringLiteral("delete from sync_state"), {});
    m_query.execute(QStringLiteral("delete from sync_tombstones"), {});
    m_query.execute(QStringLiteral("delete from sync_others"), {});
    m_query.execute(QStringLiteral("delete from sync_meta"), {});
}

void SyncStateStore::writeState(const QString &tid, const SyncObjectState &s)
{
    m_query.execute(QStringLiteral("insert or replace into sync_state (tid, href, etag, fingerprint, ics, shown_pid, uid) "
                                   "values (?, ?, ?, ?, ?, ?, ?)"),
                    {tid, s.href, s.etag, s.fingerprint, s.ics, s.shownPid, NullIfEmpty(s.uid)});
}

void SyncStateStore::dropState(const QString &tid)
{
    m_query.execute(QStringLiteral("delete from sync_state where tid=?"), {tid});
}

void SyncStateStore::writeTombstone(const QString &tid, const SyncObjectState &s)
{
    m_query.execute(QStringLiteral("insert or replace into sync_tombstones (tid, href, etag, ics, shown_pid, uid) "
                                   "values (?, ?, ?, ?, ?, ?)"),
                    {tid, s.href, s.etag, s.ics, s.shownPid, NullIfEmpty(s.uid)});
}

void SyncStateStore::dropTombstone(const QString &tid)
{
    m_query.execute(QStringLiteral("delete from sync_tombstones where tid=?"), {tid});
}

void SyncStateStore::writeOther(const QString &href, const QString &etag)
{
    m_query.execute(QStringLiteral("insert or replace into sync_others (href, etag, settled) values (?, ?, 0)"),
                    {href, etag});
}

void SyncStateStore::settleOther(const QString &href)
{
    m_query.execute(QStringLiteral("update sync_others set settled=1 where href=?"), {href});
}

void SyncStateStore::dropOther(const QString &href)
{
    m_query.execute(QStringLiteral("delete from sync_others where href=?"), {href});
}

}  // namespace quillpad
