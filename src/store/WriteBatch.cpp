#include "store/WriteBatch.h"

#include "store/Connection.h"

namespace quillpad {

WriteBatch::WriteBatch(Connection &connection, Unfinished unfinished)
    : m_connection(connection), m_unfinished(unfinished)
{
    begin();
}

WriteBatch::~WriteBatch()
{
    if (!m_open)
        return;
    if (m_unfinished == Unfinished::RollBack) {
        m_connection.rollback();
        return;
    }
    try {
        m_connection.commit();
    } catch (...) {
        // The error that is already on its way is the one the user is told about.
        m_connection.rollback();
    }
}

void WriteBatch::begin()
{
    if (!m_open && !m_connection.inTransaction()) {
        m_connection.beginTransaction();
        m_open = true;
    }
}

void WriteBatch::rollBack()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.rollback();
}

void WriteBatch::commit()
{
    if (!m_open)
        return;
    m_open = false;
    try {
        m_connection.commit();
    } catch (...) {
        m_connection.rollback();
        throw;
    }
}

}  // namespace quillpad
