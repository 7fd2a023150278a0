#include "tasks/ui/TaskTreeAccessible.h"

#include "tasks/ui/TaskTreeView.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWindow>

namespace quillpad {

namespace {

class ListAccessible;

// The interface of the list a row belongs to, which keeps one interface per row.
ListAccessible *ListOf(TaskTreeView *view);

class RowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RowAccessible(TaskTreeView *view, const QModelIndex &index) : m_view(view), m_index(index) {}

    bool isValid() const override { return m_view && m_index.isValid(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override;
    // A top-level row holds its sub-tasks while it is open, so readers find them one
    // level down.
    QAccessibleInterface *child(int index) const override;
    int childCount() const override;
    int indexOfChild(const QAccessibleInterface *child) const override;
    QAccessibleInterface *childAt(int x, int y) const override;
    QAccessible::Role role() const override { return QAccessible::TreeItem; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid() || kind != QAccessible::Name)
            return {};
        return m_index.data(Qt::AccessibleTextRole).toString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return {};
        const QRect place = m_view->visualRect(m_index);
        return QRect(m_view->viewport()->mapToGlobal(place.topLeft()), place.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid()) {
            state.invalid = true;
            return state;
        }
        state.selectable = state.focusable = true;
        state.multiSelectable = state.extSelectable = true;
        state.selected = m_view->selectionModel() && m_view->selectionModel()->isSelected(m_index);
        state.focused = m_view->hasFocus() && m_view->currentIndex() == m_index;
        state.checkable = true;
        state.checked = m_index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
        const bool parentRow = isParentRow();
        state.expandable = parentRow;
        state.expanded = parentRow && m_view->isExpanded(m_index);
        state.collapsed = parentRow && !state.expanded;
        state.invisible = m_view->shownRowOf(m_index) < 0;
        state.offscreen = !m_view->viewport()->rect().intersects(m_view->visualRect(m_index));
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface *>(this) : nullptr;
    }

    QStringList actionNames() const override
    {
        QStringList names{toggleAction(), setFocusAction()};
        if (isValid() && isParentRow())
            names.append(m_view->isExpanded(m_index) ? decreaseAction() : increaseAction());
        return names;
    }

    void doAction(const QString &name) override
    {
        if (!isValid())
            return;
        if (name == toggleAction()) {
            const bool checked = m_index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
            m_view->model()->setData(m_index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
        } else if (name == setFocusAction()) {
            m_view->setCurrentIndex(m_index);
        } else if (name == increaseAction()) {
            m_view->expand(m_index);
        } else if (name == decreaseAction()) {
            m_view->collapse(m_index);
        }
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    const QPersistentModelIndex &index() const { return m_index; }

private:
    bool isParentRow() const { return !m_index.parent().isValid() && m_view->model()->rowCount(m_index) > 0; }
    bool showsChildren() const { return isValid() && isParentRow() && m_view->isExpanded(m_index); }

    QPointer<TaskTreeView> m_view;
    QPersistentModelIndex m_index;
};

class ListAccessible : public QAccessibleWidget {
public:
    explicit ListAccessible(TaskTreeView *view) : QAccessibleWidget(view, QAccessible::Tree) {}

    ~ListAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_rows))
            QAccessible::deleteAccessibleInterface(id);
    }

    TaskTreeView *view() const { return static_cast<TaskTreeView *>(widget()); }

    int childCount() const override { return view()->model() ? view()->model()->rowCount() : 0; }

    QAccessibleInterface *child(int row) const override
    {
        return view()->model() ? rowInterface(view()->model()->index(row, 0)) : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *row = dynamic_cast<const RowAccessible *>(child);
        return row && row->isValid() && !row->index().parent().isValid() ? row->index().row() : -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        // The top-level row that holds the row under the point; it finds its sub-task itself.
        const QModelIndex at = view()->indexAt(view()->viewport()->mapFromGlobal(QPoint(x, y)));
        return rowInterface(at.parent().isValid() ? at.parent() : at);
    }

    QAccessibleInterface *focusChild() const override
    {
        return view()->hasFocus() ? rowInterface(view()->currentIndex()) : nullptr;
    }

    // One interface per row for as long as the row lives; a row that went away gives
    // its entry to whatever takes its place. None for a row that is not shown.
    QAccessibleInterface *rowInterface(const QModelIndex &index) const
    {
        if (!index.isValid() || view()->shownRowOf(index) < 0)
            return nullptr;
        const auto known = m_rows.constFind(index.internalId());
        if (known != m_rows.cend()) {
            auto *existing = static_cast<RowAccessible *>(QAccessible::accessibleInterface(*known));
            if (existing && existing->isValid() && existing->index() == index)
                return existing;
            QAccessible::deleteAccessibleInterface(*known);
        }
        auto *made = new RowAccessible(view(), index);
        m_rows.insert(index.internalId(), QAccessible::registerAccessibleInterface(made));
        return made;
    }

private:
    mutable QHash<quintptr, QAccessible::Id> m_rows;
};

ListAccessible *ListOf(TaskTreeView *view)
{
    return view ? dynamic_cast<ListAccessible *>(QAccessible::queryAccessibleInterface(view)) : nullptr;
}

QAccessibleInterface *RowAccessible::parent() const
{
    if (!isValid())
        return nullptr;
    ListAccessible *list = ListOf(m_view.data());
    const QModelIndex above = m_index.parent();
    return above.isValid() && list ? list->rowInterface(above) : list;
}

int RowAccessible::childCount() const
{
    return showsChildren() ? m_view->model()->rowCount(m_index) : 0;
}

QAccessibleInterface *RowAccessible::child(int index) const
{
    ListAccessible *list = showsChildren() ? ListOf(m_view.data()) : nullptr;
    return list ? list->rowInterface(m_view->model()->index(index, 0, m_index)) : nullptr;
}

int RowAccessible::indexOfChild(const QAccessibleInterface *child) const
{
    const auto *row = dynamic_cast<const RowAccessible *>(child);
    return showsChildren() && row && row->isValid() && row->index().parent() == m_index ? row->index().row() : -1;
}

QAccessibleInterface *RowAccessible::childAt(int x, int y) const
{
    if (!showsChildren())
        return nullptr;
    const QModelIndex at = m_view->indexAt(m_view->viewport()->mapFromGlobal(QPoint(x, y)));
    ListAccessible *list = ListOf(m_view.data());
    return at.parent() == m_index && list ? list->rowInterface(at) : nullptr;
}

QAccessibleInterface *Factory(const QString &className, QObject *object)
{
    if (className == QLatin1String(TaskTreeView::staticMetaObject.className()) && object && object->isWidgetType())
        return new ListAccessible(static_cast<TaskTreeView *>(object));
    return nullptr;
}

}  // namespace

void InstallTaskTreeAccessible()
{
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    Q_UNUSED(installed);
}

QAccessibleInterface *AccessibleRow(TaskTreeView *view, const QModelIndex &index)
{
    ListAccessible *list = ListOf(view);
    return list ? list->rowInterface(index) : nullptr;
}

}  // namespace quillpad
