#include "store/TaskInfo.h"

#include "store/Query.h"

namespace quillpad {

bool IsOverdue(const TTaskInfo &task, const QDate &today)
{
    return task.dueFlag && DateOf(task.dueTime) < today;
}

TaskReader::TaskReader(Query &query)
    : m_query(query),
      m_tid(query.fieldIndex(u"tid")),
      m_pid(query.fieldIndex(u"pid")),
      m_content(query.fieldIndex(u"content")),
      m_checkFlag(query.fieldIndex(u"checkFlag")),
      m_dueFlag(query.fieldIndex(u"dueFlag")),
      m_alarmFlag(query.fieldIndex(u"alarmFlag")),
      m_expandFlag(query.fieldIndex(u"expandFlag")),
      m_textColor(query.fieldIndex(u"textColor")),
      m_backgroundColor(query.fieldIndex(u"backgroundColor")),
      m_createTime(query.fieldIndex(u"createTime")),
      m_editTime(query.fieldIndex(u"editTime")),
      m_checkTime(query.fieldIndex(u"checkTime")),
      m_alarmTime(query.fieldIndex(u"alarmTime")),
      m_dueTime(query.fieldIndex(u"dueTime"))
{
}

TTaskInfo TaskReader::read() const
{
    TTaskInfo info;
    info.tid = m_query.field(m_tid).asString();
    info.pid = m_query.field(m_pid).asString();
    info.content = m_query.field(m_content).asString();
    info.checkFlag = m_query.field(m_checkFlag).asBoolean();
    info.dueFlag = m_query.field(m_dueFlag).asBoolean();
    info.alarmFlag = m_query.field(m_alarmFlag).asBoolean();
    info.expandFlag = m_query.field(m_expandFlag).asBoolean();
    info.textColor = m_query.field(m_textColor).asInteger();
    info.backgroundColor = m_query.field(m_backgroundColor).asInteger();
    info.createTime = m_query.field(m_createTime).asDateTime();
    info.editTime = m_query.field(m_editTime).asDateTime();
    info.checkTime = m_query.field(m_checkTime).asDateTime();
    info.alarmTime = m_query.field(m_alarmTime).asDateTime();
    info.dueTime = m_query.field(m_dueTime).asDateTime();
    return info;
}

}  // namespace quillpad
