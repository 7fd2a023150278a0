// Construction of the task list: controls, actions, toolbars, menus.

#include "tasks/ui/Fr_qvTasks.h"

#include "store/AppError.h"
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

QAction *MakeAction(QObject *owner, const char *name, const QString &caption, const QString &hint, IconRole icon)
{
    auto *action = new QAction(caption, owner);
    action->setObjectName(QString::fromLatin1(name));
    if (!hint.isEmpty()) {
        action->setToolTip(hint);
        action->setStatusTip(hint);
    }
    action->setIcon(IconList::small().icon(icon));
    return action;
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
    connect(&Timer_HotDelay, &QTimer::timeout, this, &TqvTasksFrame::Timer_HotDelayTimer);
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
    Action_TaskAdd = MakeAction(this, "Action_TaskAdd", QStringLiteral("Add &Task        Enter"),
                                QStringLiteral("Add Task"), IconRole::AddTask);
    Action_SubTaskAdd = MakeAction(this, "Action_SubTaskAdd", QStringLiteral("&Add Sub-Task  Ctrl+Enter"),
                                   QStringLiteral("Add Sub-Task"), IconRole::AddSubTask);
    Action_TaskEdit = MakeAction(this, "Action_TaskEdit", QStringLiteral("&Edit            F2"),
                                 QStringLiteral("Edit Task or Sub-Task"), IconRole::EditTask);
    Action_TaskDelete = MakeAction(this, "Action_TaskDelete", QStringLiteral("&Delete"),
                                   QStringLiteral("Delete Task or Sub-Task"), IconRole::DeleteTask);
    Action_TaskComplete = MakeAction(this, "Action_TaskComplete", QStringLiteral("&Mark Complete"), {}, NoIcon);
    Action_TaskReminderSet = MakeAction(this, "Action_TaskReminderSet", QStringLiteral("&Set Reminder..."), {}, NoIcon);
    Action_TaskDueSet = MakeAction(this, "Action_TaskDueSet", QStringLiteral("Set D&ue Date..."), {}, NoIcon);
    Action_SetColor = MakeAction(this, "Action_SetColor", QStringLiteral("Set C&olor..."), {}, NoIcon);
    Action_ViewAsc = MakeAction(this, "Action_ViewAsc", QString(), QStringLiteral("Descending Sort"),
                                IconRole::SortDescending);
    Action_ViewList = MakeAction(this, "Action_ViewList", QStringLiteral("View &List"),
                                 QStringLiteral("List View Tasks"), IconRole::ListView);
    Action_ViewList->setCheckable(true);
    Action_ViewDate = MakeAction(this, "Action_ViewDate", QStringLiteral("View &Date"), QStringLiteral("View Date "),
                                 IconRole::DateView);
    Action_ViewDate->setCheckable(true);
    Action_ExpandAll = MakeAction(this, "Action_ExpandAll", QStringLiteral("&Expand All"),
                                  QStringLiteral("Expand all"), IconRole::ExpandAll);
    Action_CollapseAll = MakeAction(this, "Action_CollapseAll", QStringLiteral("&Collapse All"),
                                    QStringLiteral("Collapse all"), IconRole::CollapseAll);
    Action_MoveTo = MakeAction(this, "Action_MoveTo", QStringLiteral("&Move to"), {}, NoIcon);
    Action_CopyTask = MakeAction(this, "Action_CopyTask", QStringLiteral("&Copy             Ctrl+C"), {}, NoIcon);
    Action_PasteTask = MakeAction(this, "Action_PasteTask", QStringLiteral("&Paste            Ctrl+V"), {}, NoIcon);
    Action_SelectAll = MakeAction(this, "Action_SelectAll", QStringLiteral("&Select All       Ctrl+A"), {}, NoIcon);
    Action_Deselect = MakeAction(this, "Action_Deselect", QStringLiteral("&Deselect"), {}, NoIcon);
    Action_Export = MakeAction(this, "Action_Export", QStringLiteral("&Export..."), {}, NoIcon);
    connect(Action_Export, &QAction::triggered, this, [this] {
        if (!FEditNode)
            RunGuarded([this] { ExportSelectedTasks(SnapshotOf(VtTasks->selectedNodes())); });
    });
    Action_Email = MakeAction(this, "Action_Email", QStringLiteral("E-mai&l Task..."), {}, NoIcon);
    Action_Save = MakeAction(this, "Action_Save", QStringLiteral("Sa&ve Task..."), {}, NoIcon);
    Action_SaveAll = MakeAction(this, "Action_SaveAll", QStringLiteral("&Save All..."), {}, NoIcon);
    Action_Print = MakeAction(this, "Action_Print", QStringLiteral("&Print..."), {}, NoIcon);
}

QAction *TqvTasksFrame::action(const QString &name) const
{
    return findChild<QAction *>(name);
}

void TqvTasksFrame::connectActions()
{
    // Every handler runs inside the guard: an error is reported once and the list goes on.
    const auto guarded = [this](QAction *action, void (TqvTasksFrame::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); });
    };
    guarded(Action_ViewList, &TqvTasksFrame::Action_ViewListExecute);
    guarded(Action_ViewDate, &TqvTasksFrame::Action_ViewDateExecute);
    guarded(Action_ViewAsc, &TqvTasksFrame::Action_ViewAscExecute);
    connect(Action_ExpandAll, &QAction::triggered, this, [this] { RunGuarded([this] { setAllExpanded(true); }); });
    connect(Action_CollapseAll, &QAction::triggered, this, [this] { RunGuarded([this] { setAllExpanded(false); }); });
    guarded(Action_TaskAdd, &TqvTasksFrame::Action_TaskAddExecute);
    guarded(Action_SubTaskAdd, &TqvTasksFrame::Action_SubTaskAddExecute);
    guarded(Action_TaskEdit, &TqvTasksFrame::Action_TaskEditExecute);
    guarded(Action_TaskDelete, &TqvTasksFrame::Action_TaskDeleteExecute);
    guarded(Action_TaskComplete, &TqvTasksFrame::Action_TaskCompleteExecute);
    guarded(Action_TaskReminderSet, &TqvTasksFrame::Action_TaskReminderSetExecute);
    guarded(Action_TaskDueSet, &TqvTasksFrame::Action_TaskDueSetExecute);
    guarded(Action_SetColor, &TqvTasksFrame::Action_SetColorExecute);
    guarded(Action_CopyTask, &TqvTasksFrame::Action_CopyTaskExecute);
    guarded(Action_PasteTask, &TqvTasksFrame::Action_PasteTaskExecute);
    guarded(Action_SelectAll, &TqvTasksFrame::Action_SelectAllExecute);
    guarded(Action_Deselect, &TqvTasksFrame::Action_DeselectExecute);
    for (QMenu *menu : {MainMoveTo, Menu_Moveto})
        connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillMoveMenu(menu); });
    connect(&Timer1, &QTimer::timeout, this, [this] { RunGuarded([this] { Timer1Timer(); }); });
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
        if (auto *button = qobject_cast<QToolButton *>(ToolBar_Top->widgetForAction(item.action)))
            button->setIcon(IconList::large().icon(Icon(item.role)));
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
    Comb_ViewRange->setFixedWidth(121);
    Edt_Search = new QLineEdit(ToolBar_Bottom);
    Edt_Search->setObjectName(QStringLiteral("Edt_Search"));
    Edt_Search->setToolTip(QStringLiteral("Input search string"));
    Btn_Search = new QToolButton(ToolBar_Bottom);
    Btn_Search->setObjectName(QStringLiteral("Btn_Search"));
    Btn_Search->setIcon(IconList::small().icon(IconRole::Magnifier));
    Btn_Search->setAutoRaise(true);
    ToolBar_Bottom->addWidget(Comb_ViewRange);
    ToolBar_Bottom->addSeparator();
    ToolBar_Bottom->addWidget(Edt_Search);
    ToolBar_Bottom->addWidget(Btn_Search);
    connect(Comb_ViewRange, &QComboBox::activated, this, [this] { Comb_ViewRangeChange(); });
    connect(Edt_Search, &QLineEdit::textChanged, this, &TqvTasksFrame::Edt_SearchChange);
    Edt_Search->installEventFilter(this);
    connect(Btn_Search, &QToolButton::clicked, this, &TqvTasksFrame::Btn_SearchClick);
}

void TqvTasksFrame::buildLayout()
{
    VtTasks = new TaskTreeView(this);
    VtTasks->setObjectName(QStringLiteral("VtTasks"));
    Panel_tip = new TipPanel(this);
    QvStatusBar1 = new TQvStatusBar(this);
    QvStatusBar1->setObjectName(QStringLiteral("QvStatusBar1"));
    QvStatusBar1->picture()->setPixmap(IconList::small().icon(IconRole::LightBulb).pixmap(16, 16));
    connect(Panel_tip, &TipPanel::clicked, this, &TqvTasksFrame::label_tipClick);

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
    AddItems(file, {shell.options, nullptr, shell.dbBackup, shell.dbRestore, nullptr, Action_Export, shell.import,
                    nullptr, Action_SaveAll, Action_Print, nullptr, shell.stayOnTop, nullptr, shell.uiClose});

    QMenu *edit = MainMenu1->addMenu(QStringLiteral("&Edit"));
    AddItems(edit, {Action_CopyTask, Action_PasteTask, nullptr, Action_SelectAll, Action_Deselect});

    QMenu *view = MainMenu1->addMenu(QStringLiteral("&View"));
    m_viewRangeGroup = new QActionGroup(this);
    Menu_ViewAll = MakeAction(this, "Menu_ViewAll", QStringLiteral("&All Tasks"), {}, NoIcon);
    Menu_Complete = MakeAction(this, "Menu_Complete", QStringLiteral("&Complete Tasks"), {}, NoIcon);
    Menu_Incomplete = MakeAction(this, "Menu_Incomplete", QStringLiteral("&Incomplete Tasks"), {}, NoIcon);
    for (QAction *item : {Menu_ViewAll, Menu_Complete, Menu_Incomplete}) {
        item->setCheckable(true);
        m_viewRangeGroup->addAction(item);
    }
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

    connect(Menu_ViewAll, &QAction::triggered, this, [this] { setViewRangeIndex(0), Comb_ViewRangeChange(); });
    connect(Menu_Complete, &QAction::triggered, this, [this] { setViewRangeIndex(1), Comb_ViewRangeChange(); });
    connect(Menu_Incomplete, &QAction::triggered, this, [this] { setViewRangeIndex(2), Comb_ViewRangeChange(); });
}

void TqvTasksFrame::wireTree()
{
    m_model = new TaskTreeModel(m_tree, this);
    m_model->setTextProvider([this](const TaskNode &node) { return VtTasksGetText(node); });
    VtTasks->setTaskModel(m_model);
    m_delegate = new TaskRowDelegate(this, VtTasks);
    VtTasks->setItemDelegate(m_delegate);
    VtTasks->setIconSize(QSize(16, 16));

    connect(VtTasks, &TaskTreeView::selectionChangedByUser, this, &TqvTasksFrame::VtTasksChange);
    VtTasks->editCheck = [this](TaskNode *node) { return VtTasksEditing(node); };
    VtTasks->editorClosed = [this](TaskNode *node, bool cancelled, bool typed, const QString &text) {
        editorClosed(node, cancelled, typed, text);
    };
    VtTasks->keyHandler = [this](QKeyEvent *event) { return VtTasksKeyDown(event); };
    VtTasks->dragOver = [this](TaskNode *node) { return VtTasksDragOver(node); };
    VtTasks->dropOn = [this](TaskNode *node) { RunGuarded([this, node] { VtTasksDragDrop(node); }); };
    connect(m_model, &TaskTreeModel::checkToggled, this,
            [this](TaskNode *node, bool checked) { RunGuarded([&] { VtTasksChecked(node, checked); }); });
    connect(VtTasks, &TaskTreeView::hotNodeChanged, this, &TqvTasksFrame::VtTasksHotChange);
    connect(VtTasks, &TaskTreeView::mouseMoved, this, [this](const QPoint &position) { FMousePos = position; });
    connect(VtTasks, &TaskTreeView::doubleClickedAt, this, &TqvTasksFrame::VtTasksDblClick);
    connect(VtTasks, &TaskTreeView::contextMenuAt, this, &TqvTasksFrame::VtTasksContextMenu);
    connect(VtTasks, &QTreeView::expanded, this,
            [this](const QModelIndex &index) { VtTasksExpanded(m_model->nodeAt(index)); });
    connect(VtTasks, &QTreeView::collapsed, this,
            [this](const QModelIndex &index) { VtTasksCollapsed(m_model->nodeAt(index)); });
}

}  // namespace quillpad
