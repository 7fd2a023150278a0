#include "tasks/ui/TaskTreeModel.h"

#include <QMimeData>

#include <algorithm>
#include <unordered_set>

namespace quillpad {

namespace {

// An index carries its node with the lowest bit set for a sub-task, so the view's
// many questions about a row's level need not touch the node itself.
constexpr quintptr SubTaskBit = 1;
static_assert(alignof(TaskNode) > 1);

bool IsSubTask(const QModelIndex &index)
{
    return index.internalId() & SubTaskBit;
}

}  // namespace

TaskTreeModel::TaskTreeModel(TaskTree &tree, QObject *parent) : QAbstractItemModel(parent), m_tree(tree)
{
    rebuildRows();
}

void TaskTreeModel::beginRebuild()
{
    if (m_rebuildDepth++ == 0)
        beginResetModel();
}

void TaskTreeModel::endRebuild()
{
    if (--m_rebuildDepth == 0) {
        rebuildRows();
        endResetModel();
    }
}

void TaskTreeModel::beginLayoutChange()
{
    if (m_rebuildDepth > 0 || m_layoutDepth++ > 0)
        return;
    emit layoutAboutToBeChanged();
    // The rows the selection and the view hold on to, by their nodes, which outlive the change.
    m_layoutBefore = persistentIndexList();
    m_layoutNodes.clear();
    m_layoutNodes.reserve(static_cast<std::size_t>(m_layoutBefore.size()));
    for (const QModelIndex &index : std::as_const(m_layoutBefore))
        m_layoutNodes.push_back(nodeAt(index));
}

void TaskTreeModel::endLayoutChange()
{
    if (m_rebuildDepth > 0 || --m_layoutDepth > 0)
        return;
    rebuildRows();
    QModelIndexList after;
    after.reserve(m_layoutBefore.size());
    for (TaskNode *node : m_layoutNodes)
        after.append(indexOf(node));
    changePersistentIndexList(m_layoutBefore, after);
    m_layoutBefore.clear();
    m_layoutNodes.clear();
    emit layoutChanged();
}

TaskNode *TaskTreeModel::appendTask(TTaskInfo info, TaskNode *parent)
{
    if (m_rebuildDepth > 0)
        return m_tree.append(std::move(info), parent);  // the rebuild shows it
    const int row = static_cast<int>(rowsOf(parent).size());
    beginInsertRows(indexOf(parent), row, row);
    TaskNode *node = m_tree.append(std::move(info), parent);
    node->viewRow = row;
    if (parent) {
        const auto after = static_cast<std::size_t>(parent->viewRow) + 1;
        m_childRows.insert(m_childRows.begin() + m_childStart[after], node);
        for (std::size_t r = after; r < m_childStart.size(); ++r)
            ++m_childStart[r];
    } else {
        m_topRows.push_back(node);
        m_childStart.push_back(m_childStart.back());
    }
    endInsertRows();
    return node;
}

void TaskTreeModel::announceGoing(const std::vector<TaskNode *> &nodes)
{
    std::vector<quintptr> ids;
    for (const TaskNode *node : nodes) {
        ids.push_back(idOf(node));
        for (const auto &child : node->children)
            ids.push_back(idOf(child.get()));
    }
    emit nodesGoing(ids);
}

void TaskTreeModel::removeTasks(const std::vector<TaskNode *> &nodes)
{
    if (nodes.empty())
        return;
    // The view hears of them last thing before they are freed: until then it may still
    // measure their rows.
    if (m_rebuildDepth > 0 || removeSiblings(nodes)) {
        announceGoing(nodes);
        m_tree.removeMany(nodes);  // a rebuild makes the rows again
        return;
    }
    beginLayoutChange();
    // Rows held by the selection or the view that go with the tasks are held no more.
    const std::unordered_set<const TaskNode *> going(nodes.begin(), nodes.end());
    for (TaskNode *&held : m_layoutNodes) {
        if (held && (going.contains(held) || (held->parent && going.contains(held->parent))))
            held = nullptr;
    }
    announceGoing(nodes);
    m_tree.removeMany(nodes);
    endLayoutChange();
}

bool TaskTreeModel::removeSiblings(const std::vector<TaskNode *> &nodes)
{
    constexpr std::size_t MaxRuns = 64;  // each run renumbers the rows after it
    if (m_layoutDepth > 0)
        return false;
    TaskNode *parent = nodes.front()->parent;
    std::vector<int> rows;
    for (TaskNode *node : nodes) {
        if (node->parent != parent)
            return false;
        if (indexOf(node).isValid())
            rows.push_back(node->viewRow);
    }
    std::sort(rows.begin(), rows.end());
    std::vector<std::pair<int, int>> runs;  // first and last row of each
    for (int row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row)
            runs.back().second = row;
        else
            runs.emplace_back(row, row);
    }
    if (runs.size() > MaxRuns)
        return false;
    const QModelIndex parentIndex = indexOf(parent);
    // Sub-task rows and their offsets shift by what each run takes away.
    const auto dropChildren = [this](std::size_t from, std::size_t to, std::size_t startsFrom) {
        const int count = static_cast<int>(to - from);
        m_childRows.erase(m_childRows.begin() + static_cast<std::ptrdiff_t>(from),
                          m_childRows.begin() + static_cast<std::ptrdiff_t>(to));
        for (std::size_t r = startsFrom; r < m_childStart.size(); ++r)
            m_childStart[r] -= count;
    };
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        const auto first = static_cast<std::size_t>(run->first);
        const auto last = static_cast<std::size_t>(run->second);
        beginRemoveRows(parentIndex, run->first, run->second);
        if (parent) {
            const auto parentRow = static_cast<std::size_t>(parent->viewRow);
            const auto start = static_cast<std::size_t>(m_childStart[parentRow]);
            dropChildren(start + first, start + last + 1, parentRow + 1);
            const auto end = static_cast<std::size_t>(m_childStart[parentRow + 1]);
            for (std::size_t i = start + first; i < end; ++i)
                m_childRows[i]->viewRow = static_cast<int>(i - start);
        } else {
            for (std::size_t row = first; row <= last; ++row)
                std::erase(m_expandedRows, m_topRows[row]);
            dropChildren(static_cast<std::size_t>(m_childStart[first]), static_cast<std::size_t>(m_childStart[last + 1]),
                         last + 1);
            m_childStart.erase(m_childStart.begin() + static_cast<std::ptrdiff_t>(first),
                               m_childStart.begin() + static_cast<std::ptrdiff_t>(last) + 1);
            m_topRows.erase(m_topRows.begin() + static_cast<std::ptrdiff_t>(first),
                            m_topRows.begin() + static_cast<std::ptrdiff_t>(last) + 1);
            for (std::size_t i = first; i < m_topRows.size(); ++i)
                m_topRows[i]->viewRow = static_cast<int>(i);
        }
        endRemoveRows();
    }
    return true;  // the nodes are the caller's to free
}

void TaskTreeModel::rebuildRows()
{
    // Refilled in place: a keystroke rebuilds them all.
    m_topRows.clear();
    m_childRows.clear();
    m_childStart.clear();
    m_expandedRows.clear();
    for (const auto &root : m_tree.roots()) {
        if (!root->visible) {
            root->viewRow = -1;
            for (const auto &child : root->children)
                child->viewRow = -1;
            continue;
        }
        root->viewRow = static_cast<int>(m_topRows.size());
        m_topRows.push_back(root.get());
        if (root->expanded)
            m_expandedRows.push_back(root.get());
        const std::size_t start = m_childRows.size();
        m_childStart.push_back(static_cast<int>(start));
        for (const auto &child : root->children) {
            child->viewRow = child->visible ? static_cast<int>(m_childRows.size() - start) : -1;
            if (child->visible)
                m_childRows.push_back(child.get());
        }
    }
    m_childStart.push_back(static_cast<int>(m_childRows.size()));
}

std::span<TaskNode *const> TaskTreeModel::rowsOf(const TaskNode *parent) const
{
    if (!parent)
        return m_topRows;
    if (!parent->isTopLevel() || parent->viewRow < 0)
        return {};
    const auto row = static_cast<std::size_t>(parent->viewRow);
    return std::span<TaskNode *const>(m_childRows).subspan(static_cast<std::size_t>(m_childStart[row]),
                                                            static_cast<std::size_t>(m_childStart[row + 1] - m_childStart[row]));
}

quintptr TaskTreeModel::idOf(const TaskNode *node)
{
    return reinterpret_cast<quintptr>(node) | (node->isTopLevel() ? 0 : SubTaskBit);
}

TaskNode *TaskTreeModel::nodeOfId(quintptr id)
{
    return reinterpret_cast<TaskNode *>(id & ~SubTaskBit);
}

QModelIndex TaskTreeModel::indexOf(const TaskNode *node) const
{
    if (!node || node->viewRow < 0 || (node->parent && node->parent->viewRow < 0))
        return {};
    return createIndex(node->viewRow, 0, idOf(node));
}

void TaskTreeModel::refresh(const TaskNode *node)
{
    const QModelIndex at = indexOf(node);
    if (at.isValid())
        emit dataChanged(at, at);
}

void TaskTreeModel::refreshCheck(const TaskNode *node)
{
    const QModelIndex at = indexOf(node);
    if (at.isValid())
        emit dataChanged(at, at, {Qt::CheckStateRole});
}


QModelIndex TaskTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    const std::span<TaskNode *const> rows = rowsOf(nodeAt(parent));
    if (row >= static_cast<int>(rows.size()))
        return {};
    return createIndex(row, 0, reinterpret_cast<quintptr>(rows[static_cast<std::size_t>(row)]) |
                                   (parent.isValid() ? SubTaskBit : 0));
}

QModelIndex TaskTreeModel::parent(const QModelIndex &child) const
{
    if (!IsSubTask(child))
        return {};
    return indexOf(nodeAt(child)->parent);
}

int TaskTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.column() > 0 || IsSubTask(parent))
        return 0;
    return static_cast<int>(rowsOf(nodeAt(parent)).size());
}

int TaskTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool TaskTreeModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0;
}

QVariant TaskTreeModel::data(const QModelIndex &index, int role) const
{
    const TaskNode *node = nodeAt(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return m_text ? m_text(*node) : node->info.content;
    case Qt::EditRole:
        return node->info.content;
    case Qt::CheckStateRole:
        return node->info.checkFlag ? Qt::Checked : Qt::Unchecked;
    case NodeRole:
        return QVariant::fromValue(static_cast<void *>(const_cast<TaskNode *>(node)));
    default:
        return {};
    }
}

bool TaskTreeModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    TaskNode *node = nodeAt(index);
    if (!node || role != Qt::CheckStateRole)
        return false;
    const bool checked = static_cast<Qt::CheckState>(value.toInt()) == Qt::Checked;
    if (checked != node->info.checkFlag)
        emit checkToggled(node, checked);
    return true;
}

Qt::ItemFlags TaskTreeModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    const Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                                Qt::ItemIsEditable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    // Sub-tasks never have children: the view then skips asking.
    return IsSubTask(index) ? flags | Qt::ItemNeverHasChildren : flags;
}

QStringList TaskTreeModel::mimeTypes() const
{
    return {QStringLiteral("application/x-ambrel-quillpad-tasks")};
}

QMimeData *TaskTreeModel::mimeData(const QModelIndexList &) const
{
    auto *data = new QMimeData;
    data->setData(mimeTypes().front(), QByteArray());
    return data;
}

QVariant TaskTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (section == 0 && orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return QStringLiteral("Tasks");
    return {};
}

}  // namespace quillpad
