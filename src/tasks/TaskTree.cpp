#include "TaskTree.h"

#include "AppError.h"

#include <algorithm>

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

int CompareTaskText(const QString &a, const QString &b)
{
    const char16_t *left = reinterpret_cast<const char16_t *>(a.constData());
    const char16_t *right = reinterpret_cast<const char16_t *>(b.constData());
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
    if (parent && parent->parent)
        throw AppError(QStringLiteral("A sub-task cannot have sub-tasks"));
    auto node = std::make_unique<TaskNode>();
    node->info = std::move(info);
    node->parent = parent;
    return Place(parent ? parent->children : m_roots, std::move(node), position);
}

void TaskTree::remove(TaskNode *node)
{
    Detach(siblingsOf(node), node);
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

TaskNode *TaskTree::findByTid(const QString &tid) const
{
    TaskNode *found = nullptr;
    forEach([&](const TaskNode *node) {
        if (!found && node->info.tid == tid)
            found = const_cast<TaskNode *>(node);
    });
    return found;
}

FilterOutcome TaskTree::applyFilter(ViewRange range, bool searchOn, const QString &searchText)
{
    FilterOutcome outcome;
    const bool searching = searchOn && !searchText.isEmpty();
    const auto passes = [&](const TaskNode &node) {
        if (node.info.checkFlag && range == ViewRange::Incomplete)
            return false;
        if (!node.info.checkFlag && range == ViewRange::Complete)
            return false;
        return !searching || node.info.content.contains(searchText, Qt::CaseSensitive);
    };
    for (const auto &root : m_roots) {
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

void TaskTree::sort(bool ascending)
{
    const auto order = [ascending](const std::unique_ptr<TaskNode> &a, const std::unique_ptr<TaskNode> &b) {
        const int result = CompareTaskText(a->info.content, b->info.content);
        return ascending ? result < 0 : result > 0;
    };
    std::stable_sort(m_roots.begin(), m_roots.end(), order);
    Renumber(m_roots);
    for (auto &root : m_roots) {
        std::stable_sort(root->children.begin(), root->children.end(), order);
        Renumber(root->children);
    }
}
