#pragma once
// Task ids as people type them: the whole id, or a part at its start that no other id
// starts with, with or without the opening brace, in any case ("1a2b3c4d" names
// "{1A2B3C4D-...}"). And the shortest such parts, for showing a list.

#include <QHash>
#include <QString>
#include <QStringList>

namespace quillpad {

class TaskStore;

// The id equal to the text alone, else up to `limit` ids the text starts (as typed or
// in upper case, with or without an opening brace).
QStringList MatchTaskIds(TaskStore &store, const QString &text, int limit = 10);

// The one task the text names. When no id or several ids match, a CommandFailure says
// so, naming the candidates with their texts.
QString ResolveTaskId(TaskStore &store, const QString &text);

// The shortest start of each id that names it alone (at least eight characters after the
// opening brace, which is left out), from every id in the database in the id index's order.
class ShortTaskIds {
public:
    static constexpr int Least = 8;

    explicit ShortTaskIds(const QStringList &sortedIds);
    QString of(const QString &tid) const;

private:
    QHash<QString, qsizetype> m_needed;  // characters that tell each id from its neighbours
};

}  // namespace quillpad
