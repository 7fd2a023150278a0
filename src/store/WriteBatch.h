#pragma once

namespace quillpad {

// Gathers the single statements of one user action (Expand All over thousands of
// tasks, say) into one commit, so they cost one disk flush instead of one each. It
// never rolls back: what was written before an error stays written, just as if every
// statement had committed on its own. Inside another transaction it does nothing.

class Connection;

class WriteBatch {
public:
    explicit WriteBatch(Connection &connection);
    ~WriteBatch();  // commits what was written, also when an error is on its way
    WriteBatch(const WriteBatch &) = delete;
    WriteBatch &operator=(const WriteBatch &) = delete;

    void commit();  // raises when the commit fails

private:
    Connection &m_connection;
    bool m_open = false;
};

}  // namespace quillpad
