#include "tasks/TaskTree.h"

#include "store/AppError.h"

#include <algorithm>
#include <climits>
#include <unordered_map>
#include <unordered_set>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace quillpad {

namespace {

// UTF-16 code units in code point order with ASCII lower case folded to upper case,
// which matches comparing the UTF-8 bytes of the folded texts.
inline char32_t FoldedUnit(char16_t unit)
{
    if (unit >= u'a' && unit <= u'z')
        return unit - (u'a' - u'A');
    if (unit >= 0xD800)  // surrogates sort after the rest of the basic plane
        return unit >= 0xE000 ? unit - 0x800 : unit + 0x2000;
    return unit;
}

void Renumber(TaskTree::NodeList &siblings, std::size_t from = 0)
{
    for (std::size_t i = from; i < siblings.size(); ++i)
        siblings[i]->position = static_cast<int>(i);
}

// A case-sensitive substring test, set up once for a whole pass over the tree. A
// single character is Qt's vectorised scan. A longer text is looked for eight
// positions at a time: only where the first and the last character both match is the
// rest compared. Letters that are everywhere make a pass over 100,000 tasks scan
// nearly all of their text, so the scan must be cheap per character.
class TextFinder {
public:
    explicit TextFinder(const QString &part) : m_part(part) {}

    bool in(QStringView text) const
    {
        const qsizetype m = m_part.size();
        if (m == 1)
            return text.indexOf(m_part.front()) >= 0;
        const qsizetype n = text.size();
        const char16_t *t = text.utf16();
        const auto *p = reinterpret_cast<const char16_t *>(m_part.constData());
        const char16_t first = p[0];
        const char16_t last = p[m - 1];
        const auto matchesAt = [&](qsizetype at) {
            return std::memcmp(t + at + 1, p + 1, (m - 2) * sizeof(char16_t)) == 0;
        };
        qsizetype i = 0;
#ifdef __SSE2__
        const __m128i firsts = _mm_set1_epi16(static_cast<short>(first));
        const __m128i lasts = _mm_set1_epi16(static_cast<short>(last));
        for (; i + (m - 1) + 8 <= n; i += 8) {
            const __m128i starts = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i));
            const __m128i ends = _mm_loadu_si128(reinterpret_cast<const __m128i *>(t + i + m - 1));
            // Two mask bits per character.
            unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi16(starts, firsts), _mm_cmpeq_epi16(ends, lasts))));
            while (mask != 0) {
                const int bit = __builtin_ctz(mask);
                if (matchesAt(i + bit / 2))
                    return true;
                mask &= ~(3u << bit);
            }
        }
#endif
        for (; i + m <= n; ++i) {
            if (t[i] == first && t[i + m - 1] == last && matchesAt(i))
                return true;
        }
        return false;
    }

private:
    QString m_part;
};

// A node spans a few cache lines and the filter pass reads from each of them.
inline void PrefetchNode(const TaskNode *node)
{
    const char *bytes = reinterpret_cast<const char *>(node);
    for (std::size_t line = 0; line < sizeof(TaskNode); line += 64)
        __builtin_prefetch(bytes + line);
}

std::unique_ptr<TaskNode> Detach(TaskTree::NodeList &siblings, TaskNode *node)
{
    const auto at = static_cast<std::size_t>(node->position);
    if (at >= siblings.size() || siblings[at].get() != node)
        throw AppError(QStringLiteral("The task is not in the tree"));
    std::unique_ptr<TaskNode> owned = std::move(siblings[at]);
    siblings.erase(siblings.begin() + static_cast<std::ptrdiff_t>(at));
    Renumber(siblings, at);
    return owned;
}

// Inserts at a position among the siblings; past the end (or negative) appends.
TaskNode *Place(TaskTree::NodeList &siblings, std::unique_ptr<TaskNode> node, int position)
{
    const std::size_t at = position < 0 || static_cast<std::size_t>(position) >= siblings.size()
                               ? siblings.size()
                               : static_cast<std::size_t>(position);
    TaskNode *placed = siblings.insert(siblings.begin() + static_cast<std::ptrdiff_t>(at), std::move(node))->get();
    Renumber(siblings, at);
    return placed;
}

}  // namespace

int CompareTaskText(QStringView a, QStringView b)
{
    const char16_t *left = a.utf16();
    const char16_t *right = b.utf16();
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if (left[i] == right[i])
            continue;
        const char32_t x = FoldedUnit(left[i]);
        const char32_t y = FoldedUnit(right[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int TaskTree::nodeCount() const
{
    int count = 0;
    forEach([&count](const TaskNode *) { ++count; });
    return count;
}

TaskNode *TaskTree::append(TTaskInfo info, TaskNode *parent)
{
    return insert(std::move(info), parent, -1);
}

TaskNode *TaskTree::insert(TTaskInfo info, TaskNode *parent, int position)
{
    auto node = std::make_unique<TaskNode>();
    node->info = std::move(info);
    return insert(std::move(node), parent, position);
}

TaskNode *TaskTree::insert(std::unique_ptr<TaskNode> node, TaskNode *parent, int position)
{
    if (parent && parent->parent)
        throw AppError(QStringLiteral("A sub-task cannot have sub-tasks"));
    node->parent = parent;
    TaskNode *placed = Place(parent ? parent->children : m_roots, std::move(node), position);
    noteReminder(placed);
    return placed;
}

void TaskTree::noteReminder(TaskNode *node)
{
    if (node->info.alarmFlag)
        m_reminders.insert(node);
}

void TaskTree::forgetReminders(const TaskNode *node)
{
    if (m_reminders.empty())
        return;
    m_reminders.erase(const_cast<TaskNode *>(node));
    for (const auto &child : node->children)
        m_reminders.erase(child.get());
}

TaskNode *TaskTree::firstDueReminder(qint64 nowMs)
{
    // Tree order: by the top-level task's position, then the sub-task's (a top-level
    // task comes before its own sub-tasks).
    const auto place = [](const TaskNode *node) {
        return node->parent ? std::pair(node->parent->position, node->position) : std::pair(node->position, -1);
    };
    TaskNode *first = nullptr;
    for (auto it = m_reminders.begin(); it != m_reminders.end();) {
        TaskNode *node = *it;
        if (!node->info.alarmFlag) {
            it = m_reminders.erase(it);
            continue;
        }
        ++it;
        if (!node->info.checkFlag && DateTimeToMs(node->info.alarmTime) <= nowMs &&
            (!first || place(node) < place(first)))
            first = node;
    }
    return first;
}

void TaskTree::move(TaskNode *node, TaskNode *newParent, int position)
{
    if (newParent == node || (newParent && newParent->parent))
        throw AppError(QStringLiteral("A task can only move under a top-level task"));
    if (newParent && !node->children.empty())
        throw AppError(QStringLiteral("A task with sub-tasks cannot become a sub-task"));
    std::unique_ptr<TaskNode> owned = Detach(siblingsOf(node), node);
    owned->parent = newParent;
    if (newParent)
        owned->expanded = false;
    Place(newParent ? newParent->children : m_roots, std::move(owned), position);
}

namespace {

// Takes the marked nodes out of one list of siblings, keeping the rest in order.
void TakeOut(TaskTree::NodeList &siblings, const std::unordered_set<const TaskNode *> &marked,
             std::unordered_map<const TaskNode *, std::unique_ptr<TaskNode>> &taken)
{
    auto keep = siblings.begin();
    for (auto &item : siblings) {
        if (marked.count(item.get()))
            taken.emplace(item.get(), std::move(item));
        else
            *keep++ = std::move(item);
    }
    siblings.erase(keep, siblings.end());
    Renumber(siblings);
}

}  // namespace

void TaskTree::removeMany(const std::vector<TaskNode *> &nodes)
{
    const std::unordered_set<const TaskNode *> marked(nodes.begin(), nodes.end());
    std::unordered_set<NodeList *> lists;
    for (TaskNode *node : nodes)
        lists.insert(&siblingsOf(node));
    std::unordered_map<const TaskNode *, std::unique_ptr<TaskNode>> taken;
    for (NodeList *list : lists)
        TakeOut(*list, marked, taken);
    for (const auto &[node, owned] : taken)
        forgetReminders(node);
}

std::vector<TaskNode *> TaskTree::moveMany(const std::vector<TaskNode *> &nodes, TaskNode *target, bool toFront)
{
    if (target && target->parent)
        throw AppError(QStringLiteral("A task can only move under a top-level task"));
    // Each node, followed by the sub-tasks it takes along.
    std::vector<std::vector<TaskNode *>> groups;
    std::unordered_set<const TaskNode *> marked;
    for (TaskNode *node : nodes) {
        if (node == target)
            throw AppError(QStringLiteral("A task cannot become its own sub-task"));
        groups.push_back({node});
        marked.insert(node);
        if (target && node->isTopLevel()) {
            for (const auto &child : node->children) {
                groups.back().push_back(child.get());
                marked.insert(child.get());
            }
        }
    }
    std::unordered_set<NodeList *> lists;
    for (const auto &group : groups) {
        for (TaskNode *node : group)
            lists.insert(&siblingsOf(node));
    }
    std::unordered_map<const TaskNode *, std::unique_ptr<TaskNode>> taken;
    for (NodeList *list : lists)
        TakeOut(*list, marked, taken);

    if (toFront)
        std::reverse(groups.begin(), groups.end());
    NodeList incoming;
    std::vector<TaskNode *> moved;
    for (const auto &group : groups) {
        for (TaskNode *node : group) {
            std::unique_ptr<TaskNode> owned = std::move(taken.at(node));
            owned->parent = target;
            if (target)
                owned->expanded = false;
            moved.push_back(owned.get());
            incoming.push_back(std::move(owned));
        }
    }
    NodeList &siblings = target ? target->children : m_roots;
    siblings.insert(toFront ? siblings.begin() : siblings.end(), std::make_move_iterator(incoming.begin()),
                    std::make_move_iterator(incoming.end()));
    Renumber(siblings);
    return moved;
}

TaskNode *TaskTree::findByTid(const QString &tid) const
{
    TaskNode *found = nullptr;
    forEach([&](const TaskNode *node) {
        if (!found && node->info.tid == tid)
            found = const_cast<TaskNode *>(node);
    });
    return found;
}

void TaskTree::setContent(TaskNode *node, QString content)
{
    node->info.content = std::move(content);
    node->matchedContent = nullptr;
    node->matchedSize = -1;
}

FilterOutcome TaskTree::applyFilter(ViewRange range, bool searchOn, const QString &searchText)
{
    FilterOutcome outcome;
    if (filterKeepsAll(range, searchOn, searchText)) {
        m_lastSearch.clear();
        outcome.anyVisible = !m_roots.empty();
        return outcome;
    }
    const bool searching = searchOn && !searchText.isEmpty();
    m_allShown = !searching && range == ViewRange::All;
    const bool narrowing = searching && !m_lastSearch.isEmpty() && searchText.contains(m_lastSearch);
    const TextFinder finder(searching ? searchText : QStringLiteral(" "));
    // Every node is tested against the text, whatever the range says, so that all of
    // them know their match for the next, longer text.
    const auto matches = [&](TaskNode &node) {
        const QString &content = node.info.content;
        const bool known = node.matchedContent == content.constData() && node.matchedSize == content.size();
        if (!(narrowing && known && !node.textMatch))
            node.textMatch = finder.in(content);
        node.matchedContent = content.constData();
        node.matchedSize = content.size() <= INT_MAX ? static_cast<int>(content.size()) : -1;
        return node.textMatch;
    };
    const auto passes = [&](TaskNode &node) {
        const bool text = !searching || matches(node);
        if (node.info.checkFlag && range == ViewRange::Incomplete)
            return false;
        if (!node.info.checkFlag && range == ViewRange::Complete)
            return false;
        return text;
    };
    m_lastSearch = searching ? searchText : QString();
    // The nodes and their texts lie all over the heap: ask for them a little ahead, so
    // the pass waits on memory less.
    constexpr std::size_t Ahead = 8;
    for (std::size_t i = 0; i < m_roots.size(); ++i) {
        if (searching && i + Ahead < m_roots.size()) {
            PrefetchNode(m_roots[i + Ahead].get());
            const TaskNode *near = m_roots[i + Ahead / 2].get();
            __builtin_prefetch(near->info.content.constData());
            for (const auto &child : near->children)
                PrefetchNode(child.get());
        }
        const auto &root = m_roots[i];
        root->visible = passes(*root);
        bool expandRoot = false;
        for (const auto &child : root->children) {
            child->visible = passes(*child);
            if (child->visible) {
                root->visible = true;
                expandRoot = expandRoot || searching;
            }
        }
        if (expandRoot)
            outcome.parentsToExpand.push_back(root.get());
        outcome.anyVisible = outcome.anyVisible || root->visible;
    }
    return outcome;
}

namespace {

// Sorts by keys that hold the texts themselves: comparing them reads the texts, not the
// nodes first, which at start-up are nowhere near in memory.
void SortSiblings(TaskTree::NodeList &siblings, bool ascending)
{
    if (siblings.size() < 2)
        return;
    struct Key {
        QStringView text;
        std::size_t at;
    };
    std::vector<Key> keys;
    keys.reserve(siblings.size());
    for (std::size_t i = 0; i < siblings.size(); ++i)
        keys.push_back({siblings[i]->info.content, i});
    std::stable_sort(keys.begin(), keys.end(), [ascending](const Key &a, const Key &b) {
        const int result = CompareTaskText(a.text, b.text);
        return ascending ? result < 0 : result > 0;
    });
    TaskTree::NodeList sorted;
    sorted.reserve(siblings.size());
    for (const Key &key : keys)
        sorted.push_back(std::move(siblings[key.at]));
    siblings = std::move(sorted);
    Renumber(siblings);
}

}  // namespace

void TaskTree::sort(bool ascending)
{
    SortSiblings(m_roots, ascending);
    for (auto &root : m_roots)
        SortSiblings(root->children, ascending);
}

TaskSnapshot SnapshotOf(const QList<TaskNode *> &nodes)
{
    TaskSnapshot snapshot;
    snapshot.reserve(nodes.size());
    for (const TaskNode *node : nodes) {
        TaskWithSubTasks &entry = snapshot.emplace_back();
        entry.task = node->info;
        if (!node->isTopLevel())
            continue;
        entry.subTasks.reserve(node->children.size());
        for (const auto &child : node->children)
            entry.subTasks.push_back(child->info);
    }
    return snapshot;
}

}  // namespace quillpad
