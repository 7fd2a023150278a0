#pragma once
// The one transaction guard. It gathers the statements of one user action (Expand All
// over thousands of tasks, say) or of one pass of a bulk job into one commit, so they
// cost one disk flush instead of one each. Inside another transaction it does nothing.
//
// What happens to writes not yet committed when the guard goes out of scope is chosen
// per use: Commit keeps them, also when an error is on its way, just as if every
// statement had committed on its own; RollBack drops them. A commit that fails is
// rolled back and raised, so no transaction is left open behind the guard.

namespace quillpad {

class Connection;

class WriteBatch {
public:
    enum class Unfinished { Commit, RollBack };

    explicit WriteBatch(Connection &connection, Unfinished unfinished = Unfinished::Commit);
    ~WriteBatch();
    WriteBatch(const WriteBatch &) = delete;
    WriteBatch &operator=(const WriteBatch &) = delete;

    // Commits what was written; raises when the commit fails.
    void commit();
    // Starts the next batch after a commit (a pass that commits before each question
    // goes on with this).
    void begin();
    // Drops what was written since the batch began.
    void rollBack();
    bool isOpen() const { return m_open; }

private:
    Connection &m_connection;
    Unfinished m_unfinished;
    bool m_open = false;
};

}  // namespace quillpad
