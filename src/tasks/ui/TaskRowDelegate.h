#pragma once
// Paints a task row and measures its height: the row presenter says what the text,
// font, colours, icon and background are; this class puts them on the screen.

#include "tasks/RowPresenter.h"

#include <QStyledItemDelegate>

namespace quillpad {

class TqvTasksFrame;
class TaskTreeView;

// The presenter's icon as a position in the icon lists; -1 for none.
int RowIconIndex(RowIcon icon);

class TaskRowDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    TaskRowDelegate(TqvTasksFrame *frame, TaskTreeView *view);

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    void setEditorData(QWidget *editor, const QModelIndex &index) const override;
    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override;
    void updateEditorGeometry(QWidget *editor, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;
    bool eventFilter(QObject *object, QEvent *event) override;
    // Width left for the text of a row at the given level (0 top, 1 sub-task).
    int textWidth(int level) const;

private:
    QStyleOptionViewItem firstLine(const QStyleOptionViewItem &row) const;

    TqvTasksFrame *m_frame;
    TaskTreeView *m_view;
};

}  // namespace quillpad
