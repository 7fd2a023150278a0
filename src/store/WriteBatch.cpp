#include "store/WriteBatch.h"

#include "store/Connection.h"

namespace quillpad {

WriteBatch::WriteBatch(Connection &connection) : m_connection(connection)
{
    if (!m_connection.inTransaction()) {
        m_connection.beginTransaction();
        m_open = true;
    }
}

WriteBatch::~WriteBatch()
{
    if (!m_open)
        return;
    try {
        m_connection.commit();
    } catch (...) {
        // The error that is already on its way is the one the user is told about.
        m_connection.rollback();
    }
}

void WriteBatch::commit()
{
    if (!m_open)
        return;
    m_open = false;
    m_connection.commit();
}

}  // namespace quillpad
