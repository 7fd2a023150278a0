#pragma once
// The task list: the tree of tasks with its toolbars, tip panel, status bar, menus and
// actions. Its operations keep the names the rest of the program knows them by.
//
// The frame is split by concern: construction (Fr_qvTasks.cpp), loading and the
// filter (Fr_qvTasksLoading.cpp), how rows look (Fr_qvTasksDisplay.cpp), and batches
// of writes that may fail (Fr_qvTasksBatches.cpp).

#include "tasks/ui/FrameContext.h"
#include "components/ui/IconLists.h"
#include "components/QvSendMessage.h"
#include "store/TaskStore.h"
#include "tasks/RowPresenter.h"
#include "tasks/ui/RowPictures.h"
#include "tasks/TaskTree.h"

#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <optional>

class QAction;
class QActionGroup;
class QComboBox;
class QFont;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QMenuBar;
class QPainter;
class QToolBar;
class QToolButton;

namespace quillpad {

class TaskRowDelegate;
class TaskTreeModel;
class TaskTreeView;
class TipPanel;
class TQvStatusBar;

class TqvTasksFrame : public QWidget {
    Q_OBJECT

public:
    TqvTasksFrame(const FrameContext &context, QWidget *parent);
    ~TqvTasksFrame() override;

    // Operations of the list.
    void ReloadTasks();
    int CountTasks();
    void LoadTaskTree();
    void ApplyViewFilter();
    void UpdateActions();
    void ShowTip(int kind);
    void UpdateTrayHint();

    // The database changed under us: reload now, or once an edit in progress ends.
    void requestReload();
    bool reloadMustWait() const;
    // Tasks another writer (a sync) added, changed or removed in the database: their rows
    // follow one by one, now or once an edit in progress ends, keeping the selection,
    // the expanded rows and the scroll position.
    void takeStoredChanges(const QStringList &tids);
    bool storedChangesWaiting() const { return !m_storedChanges.isEmpty(); }
    // A line about such work, on the right of the status bar; empty: none.
    void setStatusNote(const QString &text);
    QString statusNote() const;
    // Ends an edit in progress, keeping its text.
    void endEdit();
    // Adds the text as one new top-level task (the clipboard's paste, the tray's too).
    void PasteText(const QString &text);

    // How a row looks, asked by the tree for the rows it shows: the presenter's answers
    // for this list's view and the row's state in it.
    RowPresenter rowPresenter() const;
    RowState rowState(const TaskNode &node, bool selected = false) const;
    QString VtTasksGetText(const TaskNode &node) const;
    void VtTasksPaintText(const TaskNode &node, bool selected, QFont &font, QColor &textColor) const;
    int VtTasksGetImageIndex(const TaskNode &node) const;  // -1: no icon
    void VtTasksBeforeCellPaint(QPainter &painter, const QRect &cell, const TaskNode &node) const;
    int VtTasksMeasureItem(const TaskNode &node, int textWidth) const;

    // State other parts of the program and the tests read.
    TaskTree &tree() { return m_tree; }
    TaskTreeModel *model() const { return m_model; }
    TaskTreeView *treeView() const { return VtTasks; }
    TaskNode *editNode() const { return FEditNode; }
    TaskNode *hoverNode() const { return FHoverNode; }
    int tipKind() const { return FTipKind; }
    bool searchOn() const { return FSearchOn; }
    bool sortAscending() const { return FSortAscending; }
    QMenuBar *mainMenu() const { return MainMenu1; }
    QTimer &hoverDelayTimer() { return Timer_HotDelay; }
    QTimer &reminderTimer() { return Timer1; }
    QAction *action(const QString &name) const;
    QString statusText() const;
    // With a database that can only be read, the actions that would change a task are off.
    bool readOnly() const;
    void disableWritesWhenReadOnly();
    QString tipText() const;

    static const QStringList &StatusTips();
    static int Icon(IconRole role) { return static_cast<int>(role); }
    static QString TipText(int kind);

protected:
    void customEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildActions();
    void buildToolBars();
    void buildMenus();
    void buildLayout();
    void wireTree();

    TaskNode *firstSelectedNode() const;
    void setViewRangeIndex(int index);
    int viewRangeIndex() const;
    void setSearchIdle();
    void applySortIcon();
    void expandFromFilter(const std::vector<TaskNode *> &parents);
    void storeExpandedFromFilter();
    void restoreExpansion();
    // Runs a change of the tree's structure with the view's rows rebuilt around it; the
    // rows are rebuilt (and the expanded tasks opened again) also when it fails half-way.
    void changeTree(const std::function<void()> &change);
    // Runs the writes of one action as one batch. When a write or the commit fails, the
    // tasks the writes touched take their rows back from the database (and the view is
    // filtered again, unless the batch is part of filtering) before the error goes on:
    // the list shows what is stored, never what a rolled-back batch wrote.
    enum class Refilter { Yes, No };
    void runBatch(const QList<TaskNode *> &touched, const std::function<void()> &writes,
                  Refilter refilter = Refilter::Yes);
    // The same where finding the touched tasks costs a walk of the tree: only a failure does it.
    void runBatch(const std::function<QList<TaskNode *>()> &touched, const std::function<void()> &writes,
                  Refilter refilter);
    void takeStoredRows(const QList<TaskNode *> &touched);
    void applyStoredChanges();
    void showRandomStatusTip();

    // Handlers.
    void VtTasksChange();
    void VtTasksHotChange(TaskNode *oldNode, TaskNode *newNode);
    void VtTasksDblClick(const QPoint &position);
    void VtTasksExpanded(TaskNode *node);
    void VtTasksCollapsed(TaskNode *node);
    void VtTasksContextMenu(const QPoint &position);
    void Timer_HotDelayTimer();
    void label_tipClick();
    void Comb_ViewRangeChange();
    void Edt_SearchEnter();
    void Edt_SearchChange(const QString &text);
    void Edt_SearchExit();
    bool Edt_SearchKeyDown(QKeyEvent *event);
    void Btn_SearchClick();
    void Action_ViewListExecute();
    void Action_ViewDateExecute();
    void Action_ViewAscExecute();
    void sortTree();
    void setAllExpanded(bool expanded);
    void connectActions();

    // Editing.
    void Action_TaskAddExecute();
    void Action_SubTaskAddExecute();
    void Action_TaskEditExecute();
    void Action_TaskDeleteExecute();
    void Action_TaskCompleteExecute();
    void showAllIfCompleteOnly();
    void startNewTask(TaskNode *parent);
    void enterEdit(TaskNode *node);  // every way into an edit comes here
    void beginEdit();
    bool VtTasksEditing(TaskNode *node);
    void editorClosed(TaskNode *node, bool cancelled, bool typed, const QString &text);
    void reopenEditor(TaskNode *node, const QString &text);
    void VtTasksNewText(TaskNode *node, const QString &text);
    void VtTasksEdited(TaskNode *node);
    void VtTasksEditCancelled(TaskNode *node);
    void dropNewNode(TaskNode *node);
    void VtTasksChecked(TaskNode *node, bool checked);
    bool VtTasksKeyDown(QKeyEvent *event);

    // Reminders, due dates, colours.
    void writeEach(const QList<TaskNode *> &nodes, bool deselect, const std::function<void(TaskNode *)> &write);
    void Action_TaskReminderSetExecute();
    void Action_TaskDueSetExecute();
    void Action_SetColorExecute();
    void Timer1Timer();

    // Moving, drag and drop, clipboard.
    void fillMoveMenu(QMenu *menu);
    static void scrollWhenLong(QMenu *menu);
    void moveSelected(TaskNode *target, bool toFront);
    void MoveTo(TaskNode *target);  // none: the top level
    bool VtTasksDragOver(TaskNode *node);
    void VtTasksDragDrop(TaskNode *node);
    void Action_CopyTaskExecute();
    void Action_PasteTaskExecute();
    void Action_SelectAllExecute();
    void Action_DeselectExecute();
    void storeExpanded(TaskNode *node, bool expanded);

    // Saving, e-mailing and printing the tasks.
    void SaveTasksAs(bool selectAll);
    void Action_EmailExecute();
    void Action_PrintExecute();

    FrameContext m_context;
    TaskStore m_store;
    RowPictures m_rowPictures{m_context.images};
    TaskTree m_tree;
    TaskTreeModel *m_model = nullptr;
    TaskTreeView *VtTasks = nullptr;
    TaskRowDelegate *m_delegate = nullptr;

    QToolBar *ToolBar_Top = nullptr;
    QToolBar *ToolBar_Bottom = nullptr;
    QComboBox *Comb_ViewRange = nullptr;
    QLineEdit *Edt_Search = nullptr;
    QToolButton *Btn_Search = nullptr;
    QToolButton *m_viewAscButton = nullptr;
    TipPanel *Panel_tip = nullptr;
    TQvStatusBar *QvStatusBar1 = nullptr;  // the status bar: bulb and tip, or the selection

    QTimer Timer1;          // the reminder check, every half second once loaded
    QTimer Timer_HotDelay;  // the hover delay of the list view

    QMenuBar *MainMenu1 = nullptr;  // the menu bar, handed to the main window once shown
    QMenu *PopupMenu_Task = nullptr;
    QMenu *PopupMenu_Null = nullptr;
    QMenu *MainMoveTo = nullptr;
    QMenu *Menu_Moveto = nullptr;
    QAction *Menu_ViewAll = nullptr;
    QAction *Menu_Complete = nullptr;
    QAction *Menu_Incomplete = nullptr;
    QActionGroup *m_viewRangeGroup = nullptr;

    QAction *Action_TaskAdd = nullptr;
    QAction *Action_SubTaskAdd = nullptr;
    QAction *Action_TaskEdit = nullptr;
    QAction *Action_TaskDelete = nullptr;
    QAction *Action_TaskComplete = nullptr;
    QAction *Action_TaskReminderSet = nullptr;
    QAction *Action_TaskDueSet = nullptr;
    QAction *Action_SetColor = nullptr;
    QAction *Action_ViewAsc = nullptr;
    QAction *Action_ViewList = nullptr;
    QAction *Action_ViewDate = nullptr;
    QAction *Action_ExpandAll = nullptr;
    QAction *Action_CollapseAll = nullptr;
    QAction *Action_MoveTo = nullptr;
    QAction *Action_CopyTask = nullptr;
    QAction *Action_PasteTask = nullptr;
    QAction *Action_SelectAll = nullptr;
    QAction *Action_Deselect = nullptr;
    QAction *Action_Export = nullptr;
    QAction *Action_Email = nullptr;
    QAction *Action_Save = nullptr;
    QAction *Action_SaveAll = nullptr;
    QAction *Action_Print = nullptr;

    TQvSendMessage QvSendMessage1;

    TaskNode *FEditNode = nullptr;
    TaskNode *FHoverNode = nullptr;
    QString FSearchText;
    bool FSearchOn = false;
    bool FSortAscending = true;
    bool FReloading = false;
    bool FTreeFocused = false;
    int FTipKind = 0;
    bool m_reloadPending = false;
    QStringList m_storedChanges;  // ids of tasks whose rows wait for the database's state
    // Text typed into an edit that could not be stored: the editor opens again with it.
    std::optional<QString> m_unstoredText;
    bool m_alarmOpen = false;  // an alarm window is showing
    QStringList m_expandedToStore;  // opened by the search, not written yet
};

}  // namespace quillpad
