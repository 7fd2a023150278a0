#include "tasks/ui/TaskTreeAccessible.h"

#include "tasks/ui/TaskTreeView.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QWindow>

namespace quillpad {

namespace {

class RowAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    RowAccessible(TaskTreeView *view, const QModelIndex &index) : m_view(view), m_index(index) {}

    bool isValid() const override { return m_view && m_index.isValid(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override { return m_view ? m_view->window()->windowHandle() : nullptr; }
    QAccessibleInterface *parent() const override { return QAccessible::queryAccessibleInterface(m_view.data()); }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::TreeItem; }

    QString text(QAccessible::Text kind) const override
    {
        if (!isValid() || (kind != QAccessible::Name && kind != QAccessible::Value))
            return {};
        return kind == QAccessible::Name ? m_index.data(Qt::AccessibleTextRole).toString() : QString();
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
        const bool parentRow = !m_index.parent().isValid() && m_view->model()->rowCount(m_index) > 0;
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
        if (!m_index.parent().isValid() && m_view && m_view->model()->rowCount(m_index) > 0)
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

    int childCount() const override { return view()->shownRowCount(); }

    QAccessibleInterface *child(int row) const override
    {
        const QModelIndex index = view()->shownRow(row);
        if (!index.isValid())
            return nullptr;
        // One interface per row for as long as the row lives; a row that went away
        // gives its entry to whatever takes its place.
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

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const auto *row = dynamic_cast<const RowAccessible *>(child);
        return row && row->isValid() ? view()->shownRowOf(row->index()) : -1;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const QPoint at = view()->viewport()->mapFromGlobal(QPoint(x, y));
        const int row = view()->shownRowOf(view()->indexAt(at));
        return row >= 0 ? child(row) : nullptr;
    }

    QAccessibleInterface *focusChild() const override
    {
        const int row = view()->shownRowOf(view()->currentIndex());
        return view()->hasFocus() && row >= 0 ? child(row) : nullptr;
    }

private:
    mutable QHash<quintptr, QAccessible::Id> m_rows;
};

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

}  // namespace quillpad
