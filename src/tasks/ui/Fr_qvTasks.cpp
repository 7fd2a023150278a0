// Construction of the task list: controls, actions, toolbars, menus.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
#include "components/ui/ActionFactory.h"
#include "tasks/ui/BitmapToolBar.h"
#include "interchange/ExportTasks.h"
#include "components/ui/IconLists.h"
#include "components/ui/QvStatusBar.h"
#include "tasks/ui/TaskRowDelegate.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "tasks/ui/TipPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillpad {

namespace {

constexpr IconRole NoIcon = static_cast<IconRole>(-1);  // the lists answer a null icon

ActionInfo ActionOf(const char *name, const QString &text, const QString &hint = {}, IconRole icon = NoIcon)
{
    return ActionInfo(name, text, hint, IconList::small().icon(icon));
}

// Menu captions carry their shortcut text after blanks; menus show the caption as is.
void AddItems(QMenu *menu, std::initializer_list<QAction *> items)
{
    for (QAction *item : items) {
        if (item)
            menu->addAction(item);
        else
            menu->addSeparator();
    }
}

}  // namespace

TqvTasksFrame::TqvTasksFrame(const FrameContext &context, QWidget *parent)
    : QWidget(parent), m_context(context), m_store(*context.connection)
{
    setObjectName(QStringLiteral("qvTasksFrame"));
    buildActions();
    buildToolBars();
    buildLayout();
    buildMenus();
    wireTree();
    connectActions();

    Timer1.setInterval(500);
    Timer_HotDelay.setInterval(300);
    Timer_HotDelay.setSingleShot(true);
    UpdateActions();
}

TqvTasksFrame::~TqvTasksFrame()
{
    Timer1.stop();
    // An edit in progress keeps its text.
    RunGuarded([this] { endEdit(); });
    Timer_HotDelay.stop();
    // The view must let go of the model's rows before the tree frees its nodes.
    VtTasks->setModel(nullptr);
}

void TqvTasksFrame::buildActions()
{
    // Every handler runs inside the guard: an error is reported once and the list goes on.
    using F = TqvTasksFrame;
    Action_TaskAdd = MakeAction(this, ActionOf("Action_TaskAdd", QStringLiteral("Add &Task        Enter"),
                                           QStringLiteral("Add Task"), IconRole::AddTask),
                                &F::Action_TaskAddExecute);
    Action_SubTaskAdd = MakeAction(this, ActionOf("Action_SubTaskAdd", QStringLiteral("&Add Sub-Task  Ctrl+Enter"),
                                              QStringLiteral("Add Sub-Task"), IconRole::AddSubTask),
                                   &F::Action_SubTaskAddExecute);
    Action_TaskEdit = MakeAction(this, ActionOf("Action_TaskEdit", QStringLiteral("&Edit            F2"),
                                            QStringLiteral("Edit Task or Sub-Task"), IconRole::EditTask),
                                 &F::Action_TaskEditExecute);
    Action_TaskDelete = MakeAction(this, ActionOf("Action_TaskDelete", QStringLiteral("&Delete"),
                                              QStringLiteral("Delete Task or Sub-Task"), IconRole::DeleteTask),
                                   &F::Action_TaskDeleteExecute);
    Action_TaskComplete = MakeAction(this, ActionOf("Action_TaskComplete", QStringLiteral("&Mark Complete")),
                                     &F::Action_TaskCompleteExecute);
    Action_TaskReminderSet = MakeAction(this, ActionOf("Action_TaskReminderSet", QStringLiteral("&Set Reminder...")),
                                        &F::Action_TaskReminderSetExecute);
    Action_TaskDueSet = MakeAction(this, ActionOf("Action_TaskDueSet", QStringLiteral("Set D&ue Date...")),
                                   &F::Action_TaskDueSetExecute);
    Action_SetColor = MakeAction(this, ActionOf("Action_SetColor", QStringLiteral("Set C&olor...")),
                                 &F::Action_SetColorExecute);
    Action_ViewAsc = MakeAction(this, ActionOf("Action_ViewAsc", QString(), QStringLiteral("Descending Sort"),
                                           IconRole::SortDescending),
                                &F::Action_ViewAscExecute);
    ActionInfo viewList = ActionOf("Action_ViewList", QStringLiteral("View &List"), QStringLiteral("List View Tasks"),
                               IconRole::ListView);
    viewList.checkable = true;
    Action_ViewList = MakeAction(this, viewList, &F::Action_ViewListExecute);
    ActionInfo viewDate = ActionOf("Action_ViewDate", QStringLiteral("View &Date"), QStringLiteral("View Date "),
                               IconRole::DateView);
    viewDate.checkable = true;
    Action_ViewDate = MakeAction(this, viewDate, &F::Action_ViewDateExecute);
    Action_ExpandAll = MakeAction(this, ActionOf("Action_ExpandAll", QStringLiteral("&Expand All"),
                                             QStringLiteral("Expand all"), IconRole::ExpandAll),
                                  [this] { setAllExpanded(true); });
    Action_CollapseAll = MakeAction(this, ActionOf("Action_CollapseAll", QStringLiteral("&Collapse All"),
                                               QStringLiteral("Collapse all"), IconRole::CollapseAll),
                                    [this] { setAllExpanded(false); });
    Action_MoveTo = MakeAction(this, ActionOf("Action_MoveTo", QStringLiteral("&Move to")));
    Action_CopyTask = MakeAction(this, ActionOf("Action_CopyTask", QStringLiteral("&Copy             Ctrl+C")),
                                 &F::Action_CopyTaskExecute);
    Action_PasteTask = MakeAction(this, ActionOf("Action_PasteTask", QStringLiteral("&Paste            Ctrl+V")),
                                  &F::Action_PasteTaskExecute);
    Action_SelectAll = MakeAction(this, ActionOf("Action_SelectAll", QStringLiteral("&Select All       Ctrl+A")),
                                  &F::Action_SelectAllExecute);
    Action_Deselect = MakeAction(this, ActionOf("Action_Deselect", QStringLiteral("&Deselect")),
                                 &F::Action_DeselectExecute);
    Action_Export = MakeAction(this, ActionOf("Action_Export", QStringLiteral("&Export...")), [this] {
        if (!FEditNode)
            ExportSelectedTasks(SnapshotOf(VtTasks->selectedNodes()));
    });
    Action_Email = MakeAction(this, ActionOf("Action_Email", QStringLiteral("E-mai&l Task...")),
                              &F::Action_EmailExecute);
    Action_Save = MakeAction(this, ActionOf("Action_Save", QStringLiteral("Sa&ve Task...")), [this] { SaveTasksAs(false); });
    Action_SaveAll = MakeAction(this, ActionOf("Action_SaveAll", QStringLiteral("&Save All...")),
                                [this] { SaveTasksAs(true); });
    Action_Print = MakeAction(this, ActionOf("Action_Print", QStringLiteral("&Print...")), &F::Action_PrintExecute);
}

QAction *TqvTasksFrame::action(const QString &name) const
{
    return findChild<QAction *>(name);
}

void TqvTasksFrame::connectActions()
{
    for (QMenu *menu : {MainMoveTo, Menu_Moveto}) {
        scrollWhenLong(menu);
        ConnectGuarded(menu, &QMenu::aboutToShow, this, [this, menu] { fillMoveMenu(menu); });
    }
    ConnectGuarded(&Timer1, &QTimer::timeout, this, &TqvTasksFrame::Timer1Timer);
    ConnectGuarded(&Timer_HotDelay, &QTimer::timeout, this, &TqvTasksFrame::Timer_HotDelayTimer);
}

void TqvTasksFrame::buildToolBars()
{
    const BackgroundImages &images = *m_context.images;
    ToolBar_Top = new BitmapToolBar(images.toolsbar, this);
    ToolBar_Top->setObjectName(QStringLiteral("ToolBar_Top"));
    ToolBar_Top->setIconSize(QSize(22, 22));
    ToolBar_Top->setMovable(false);
    ToolBar_Top->setFloatable(false);
    struct ToolItem {
        QAction *action;  // none: a separator
        IconRole role;
    };
    const ToolItem items[] = {
        {Action_TaskAdd, IconRole::AddTask},          {Action_SubTaskAdd, IconRole::AddSubTask},
        {Action_TaskEdit, IconRole::EditTask},        {Action_TaskDelete, IconRole::DeleteTask},
        {nullptr, IconRole::AddTask},                 {Action_ViewAsc, IconRole::SortDescending},
        {Action_ExpandAll, IconRole::ExpandAll},  {Action_CollapseAll, IconRole::CollapseAll},
        {nullptr, IconRole::AddTask},                 {Action_ViewList, IconRole::ListView},
        {Action_ViewDate, IconRole::DateView},
    };
    for (const ToolItem &item : items) {
        if (!item.action) {
            ToolBar_Top->addSeparator();
            continue;
        }
        ToolBar_Top->addAction(item.action);
        // The top bar shows the larger pictures of the same roles.
        if (auto *button = qobject_cast<QToolButton *>(ToolBar_Top->widgetForAction(item.action))) {
            button->setIcon(IconList::large().icon(Icon(item.role)));
            // Screen readers say the key with the hint, after the button's name.
            const QString key = ShortcutTextOf(item.action);
            if (!key.isEmpty())
                button->setAccessibleDescription(item.action->toolTip() + QStringLiteral(" (") + key +
                                                 QLatin1Char(')'));
        }
    }
    m_viewAscButton = qobject_cast<QToolButton *>(ToolBar_Top->widgetForAction(Action_ViewAsc));

    auto *bottom = new BitmapToolBar(images.searchbar, this);
    ToolBar_Bottom = bottom;
    ToolBar_Bottom->setObjectName(QStringLiteral("ToolBar_Bottom"));
    ToolBar_Bottom->setIconSize(QSize(16, 16));
    ToolBar_Bottom->setMovable(false);
    ToolBar_Bottom->setFloatable(false);
    Comb_ViewRange = new QComboBox(ToolBar_Bottom);
    Comb_ViewRange->setObjectName(QStringLiteral("Comb_ViewRange"));
    Comb_ViewRange->addItems({QStringLiteral("View All Tasks"), QStringLiteral("View Complete"),
                              QStringLiteral("View Incomplete")});
    Comb_ViewRange->setToolTip(QStringLiteral("View Range"));
    // As wide as its longest entry in whatever font the desktop uses.
    Comb_ViewRange->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    Comb_ViewRange->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    Edt_Search = new QLineEdit(ToolBar_Bottom);
    Edt_Search->setObjectName(QStringLiteral("Edt_Search"));
    Edt_Search->setToolTip(QStringLiteral("Input search string"));
    // Its idle text is a hint, not its name.
    Edt_Search->setAccessibleName(QStringLiteral("Search Tasks"));
    Btn_Search = new QToolButton(ToolBar_Bottom);
    Btn_Search->setObjectName(QStringLiteral("Btn_Search"));
    Btn_Search->setIcon(IconList::small().icon(IconRole::Magnifier));
    Btn_Search->setAutoRaise(true);
    ToolBar_Bottom->addWidget(Comb_ViewRange);
    ToolBar_Bottom->addSeparator();
    ToolBar_Bottom->addWidget(Edt_Search);
    ToolBar_Bottom->addWidget(Btn_Search);
    ConnectGuarded(Comb_ViewRange, &QComboBox::activated, this, &TqvTasksFrame::Comb_ViewRangeChange);
    ConnectGuarded(Edt_Search, &QLineEdit::textChanged, this, &TqvTasksFrame::Edt_SearchChange);
    Edt_Search->installEventFilter(this);
    ConnectGuarded(Btn_Search, &QToolButton::clicked, this, &TqvTasksFrame::Btn_SearchClick);
}

void TqvTasksFrame::buildLayout()
{
    VtTasks = new TaskTreeView(this);
    VtTasks->setObjectName(QStringLiteral("VtTasks"));
    VtTasks->setAccessibleName(QStringLiteral("Tasks"));
    Panel_tip = new TipPanel(this);
    QvStatusBar1 = new TQvStatusBar(this);
    QvStatusBar1->setObjectName(QStringLiteral("QvStatusBar1"));
    QvStatusBar1->picture()->setPixmap(IconList::small().icon(IconRole::LightBulb).pixmap(16, 16));
    ConnectGuarded(Panel_tip, &TipPanel::clicked, this, &TqvTasksFrame::label_tipClick);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(ToolBar_Top);
    layout->addWidget(VtTasks, 1);
    layout->addWidget(Panel_tip);
    layout->addWidget(ToolBar_Bottom);
    layout->addWidget(QvStatusBar1);
}

void TqvTasksFrame::buildMenus()
{
    const ShellActions &shell = m_context.shell;
    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->hide();  // the main window takes it over on message 2025

    QMenu *file = MainMenu1->addMenu(QStringLiteral("&File"));
    AddItems(file, {shell.options, shell.syncNow, nullptr, shell.dbBackup, shell.dbRestore, nullptr, Action_Export, shell.import,
                    nullptr, Action_SaveAll, Action_Print, nullptr, shell.stayOnTop, nullptr, shell.uiClose, shell.exit});

    QMenu *edit = MainMenu1->addMenu(QStringLiteral("&Edit"));
    AddItems(edit, {Action_CopyTask, Action_PasteTask, nullptr, Action_SelectAll, Action_Deselect});

    QMenu *view = MainMenu1->addMenu(QStringLiteral("&View"));
    m_viewRangeGroup = new QActionGroup(this);
    // Each item sets the view-range box and runs its change.
    const auto range = [this](const char *name, const QString &text, int index) {
        ActionInfo info = ActionOf(name, text);
        info.checkable = true;
        QAction *item = MakeAction(this, info, [this, index] {
            setViewRangeIndex(index);
            Comb_ViewRangeChange();
        });
        m_viewRangeGroup->addAction(item);
        return item;
    };
    Menu_ViewAll = range("Menu_ViewAll", QStringLiteral("&All Tasks"), 0);
    Menu_Complete = range("Menu_Complete", QStringLiteral("&Complete Tasks"), 1);
    Menu_Incomplete = range("Menu_Incomplete", QStringLiteral("&Incomplete Tasks"), 2);
    AddItems(view, {Action_ViewList, Action_ViewDate, nullptr, Menu_ViewAll, Menu_Complete, Menu_Incomplete, nullptr,
                    Action_ExpandAll, Action_CollapseAll});

    QMenu *tasks = MainMenu1->addMenu(QStringLiteral("&Tasks"));
    AddItems(tasks, {Action_TaskAdd, Action_SubTaskAdd, nullptr, Action_Email, Action_Save, nullptr, Action_TaskEdit,
                     Action_TaskDelete, nullptr, Action_TaskComplete, nullptr, Action_TaskDueSet,
                     Action_TaskReminderSet, Action_SetColor, nullptr});
    MainMoveTo = tasks->addMenu(QStringLiteral("&Move to"));
    MainMoveTo->setObjectName(QStringLiteral("MainMoveTo"));
    MainMoveTo->menuAction()->setToolTip(QStringLiteral("Move tasks to other group"));
    MainMoveTo->menuAction()->setStatusTip(QStringLiteral("Move tasks to other group"));

    QMenu *help = MainMenu1->addMenu(QStringLiteral("&Help"));
    for (QAction *item : shell.help) {
        if (item)
            help->addAction(item);
        else
            help->addSeparator();
    }

    PopupMenu_Task = new QMenu(this);
    PopupMenu_Task->setObjectName(QStringLiteral("PopupMenu_Task"));
    AddItems(PopupMenu_Task, {Action_TaskAdd, Action_SubTaskAdd, nullptr, Action_Email, Action_Save, nullptr,
                              Action_TaskEdit, Action_TaskDelete, nullptr, Action_CopyTask, Action_PasteTask,
                              nullptr, Action_TaskComplete, nullptr, Action_TaskDueSet, Action_TaskReminderSet,
                              Action_SetColor, nullptr});
    Menu_Moveto = PopupMenu_Task->addMenu(QStringLiteral("&Move To"));
    Menu_Moveto->setObjectName(QStringLiteral("Menu_Moveto"));

    PopupMenu_Null = new QMenu(this);
    PopupMenu_Null->setObjectName(QStringLiteral("PopupMenu_Null"));
    AddItems(PopupMenu_Null, {Action_TaskAdd, Action_SubTaskAdd, nullptr, Action_PasteTask});
}

void TqvTasksFrame::wireTree()
{
    m_model = new TaskTreeModel(m_tree, this);
    m_model->setTextProvider([this](const TaskNode &node) { return VtTasksGetText(node); });
    VtTasks->setTaskModel(m_model);
    m_delegate = new TaskRowDelegate(this, VtTasks);
    VtTasks->setItemDelegate(m_delegate);
    VtTasks->setIconSize(QSize(16, 16));

    ConnectGuarded(VtTasks, &TaskTreeView::selectionChangedByUser, this, &TqvTasksFrame::VtTasksChange);
    // The view calls these from its own event handlers: each runs guarded too.
    VtTasks->editCheck = [this](TaskNode *node) {
        if (readOnly())
            return false;
        bool editNow = false;
        RunGuarded([&] { editNow = VtTasksEditing(node); });
        return editNow;
    };
    VtTasks->editorClosed = [this](TaskNode *node, bool cancelled, bool typed, const QString &text) {
        RunGuarded([&] { editorClosed(node, cancelled, typed, text); });
    };
    VtTasks->keyHandler = [this](QKeyEvent *event) {
        bool handled = true;  // a key whose handler failed is used up
        RunGuarded([&] { handled = VtTasksKeyDown(event); });
        return handled;
    };
    VtTasks->dragOver = [this](TaskNode *node) {
        if (readOnly())
            return false;
        bool accepted = false;
        RunGuarded([&] { accepted = VtTasksDragOver(node); });
        return accepted;
    };
    VtTasks->dropOn = [this](TaskNode *node) { RunGuarded([this, node] { VtTasksDragDrop(node); }); };
    ConnectGuarded(m_model, &TaskTreeModel::checkToggled, this, &TqvTasksFrame::VtTasksChecked);
    ConnectGuarded(VtTasks, &TaskTreeView::hotNodeChanged, this, &TqvTasksFrame::VtTasksHotChange);
    ConnectGuarded(VtTasks, &TaskTreeView::doubleClickedAt, this, &TqvTasksFrame::VtTasksDblClick);
    ConnectGuarded(VtTasks, &TaskTreeView::contextMenuAt, this, &TqvTasksFrame::VtTasksContextMenu);
    ConnectGuarded(VtTasks, &TaskTreeView::expanded, this,
                   [this](const QModelIndex &index) { VtTasksExpanded(m_model->nodeAt(index)); });
    ConnectGuarded(VtTasks, &TaskTreeView::collapsed, this,
                   [this](const QModelIndex &index) { VtTasksCollapsed(m_model->nodeAt(index)); });
}

}  // namespace quillpad
