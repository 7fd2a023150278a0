#pragma once
// The task rows of an import or a restore, read from the file and decoded on a thread of
// their own while the caller writes them: inflating and decoding a large file then costs
// no time beside the inserts. An import gives each task a new id, and a sub-task's parent
// the new id of its parent; a restore keeps the ids.
//
// The file is read once, to its end, also after a decoding error (the rows stop there):
// only the end tells whether it was in the common form, and the memos come last.

#include "interchange/QvxStream.h"
#include "store/Query.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

namespace quillpad {

class QvxTaskRows {
public:
    // Rows in the order of `columns`, in file order. An error, when set, is the one the
    // record after the last row raised: no row comes after it. The reports of missing
    // attributes are held, in order, for the caller to show on its own thread when the
    // rows count.
    struct Batch {
        std::vector<Query::Parameters> rows;
        std::exception_ptr error;
        std::vector<QString> absent;
    };

    enum class Ids { New, Kept };

    // Starts reading; times are read with the zone offset `bias`.
    QvxTaskRows(const QString &fileName, int bias, Ids ids);
    // Stops the reading at the next piece of the file, if it is still going.
    ~QvxTaskRows();
    QvxTaskRows(const QvxTaskRows &) = delete;
    QvxTaskRows &operator=(const QvxTaskRows &) = delete;

    // The statement that takes one row. A row whose id is taken is left out (the
    // statement then changes no row) instead of failing: a failure would have to be
    // undone row by row, which costs every insert a journal of its own. The sync
    // trigger's own INSERT OR REPLACE then ignores too: it makes no difference where no
    // sync state is kept without its task, as in an empty database, or for new ids.
    static QStringList columns();

    // The next batch, waiting for it; none after the last.
    std::optional<Batch> next();
    // Gives a batch that was written back for the next rows: its memory is then freed
    // and reused by the thread that took it, instead of moving between the two.
    void giveBack(Batch &&batch);
    // The root's "app", once a batch came or the reading ended.
    const std::optional<QByteArray> &app() const { return m_app; }
    // No more rows are decoded; the file is still read to its end.
    void stopRows();
    // Waits for the end of the file. Raises what the reading of the file raised.
    QvxStream::Survey finish();

private:
    struct Abandoned {};
    void read(const QString &fileName, int bias, Ids ids);
    void push(Batch &&batch);

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<Batch> m_ready;
    std::vector<Batch> m_givenBack;
    bool m_ended = false;
    std::atomic<bool> m_abandoned = false;
    std::atomic<bool> m_rowsStopped = false;
    std::optional<QByteArray> m_app;
    QvxStream::Survey m_survey;
    std::exception_ptr m_readError;
    std::thread m_thread;
};

}  // namespace quillpad
