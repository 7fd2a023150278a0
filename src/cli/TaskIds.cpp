#include "cli/TaskIds.h"

#include "cli/CommandLine.h"
#include "store/TaskStore.h"
#include "store/pU_Funcs.h"

#include <algorithm>

namespace quillpad {

namespace {

// Characters of a task's text a candidate shows.
constexpr qsizetype CandidateText = 60;

qsizetype CommonStart(const QString &a, const QString &b)
{
    const qsizetype length = std::min(a.size(), b.size());
    qsizetype at = 0;
    while (at < length && a.at(at) == b.at(at))
        ++at;
    return at;
}

}  // namespace

QStringList MatchTaskIds(TaskStore &store, const QString &text, int limit)
{
    QStringList variants{text};
    if (text.toUpper() != text)
        variants.append(text.toUpper());
    if (!text.startsWith(QLatin1Char('{'))) {
        for (qsizetype i = 0, n = variants.size(); i < n; ++i)
            variants.append(QLatin1Char('{') + variants.at(i));
    }
    QStringList matches;
    for (const QString &variant : std::as_const(variants)) {
        for (const QString &tid : store.idsStartingWith(variant, limit)) {
            if (tid == text)
                return {tid};
            if (!matches.contains(tid) && matches.size() < limit)
                matches.append(tid);
        }
    }
    return matches;
}

QString ResolveTaskId(TaskStore &store, const QString &text)
{
    if (text.isEmpty())
        throw UsageError{QStringLiteral("an empty TID names no task")};
    const QStringList matches = MatchTaskIds(store, text);
    if (matches.size() == 1)
        return matches.front();
    if (matches.isEmpty())
        throw CommandFailure{QStringLiteral("no task's id starts with %1").arg(text)};
    QString list = QStringLiteral("%1 starts the ids of several tasks; give more of the one you mean:").arg(text);
    for (const QString &tid : matches) {
        QString content = store.find(tid).value_or(TTaskInfo{}).content;
        content = OneLine(content);
        if (content.size() > CandidateText)
            content = content.left(CandidateText - 3) + QStringLiteral("...");
        list += QStringLiteral("\n  %1  %2").arg(tid, content);
    }
    if (matches.size() >= 10)
        list += QStringLiteral("\n  ...");
    throw CommandFailure{list};
}

ShortTaskIds::ShortTaskIds(const QStringList &sortedIds)
{
    // In the index's order an id shares the longest start with a neighbour.
    m_needed.reserve(sortedIds.size());
    qsizetype withPrevious = 0;
    for (qsizetype i = 0; i < sortedIds.size(); ++i) {
        const qsizetype withNext = i + 1 < sortedIds.size() ? CommonStart(sortedIds.at(i), sortedIds.at(i + 1)) : 0;
        m_needed.insert(sortedIds.at(i), std::max(withPrevious, withNext) + 1);
        withPrevious = withNext;
    }
}

QString ShortTaskIds::of(const QString &tid) const
{
    const qsizetype brace = tid.startsWith(QLatin1Char('{')) ? 1 : 0;
    const qsizetype shown = std::max<qsizetype>(m_needed.value(tid, 1) - brace, Least);
    return tid.mid(brace, shown);
}

}  // namespace quillpad
