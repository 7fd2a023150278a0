// The task list frame driven offscreen: loading, the tip panel, the tray summary, the
// view range, the search box and the rows' text, font, icon and height.

#include "store/Clock.h"
#include "FrameFixture.h"
#include "app/settings/IniFile.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStyleOptionComboBox>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

using namespace quillpad;

class TestTasksFrame : public QObject {
    Q_OBJECT

private slots:
    void emptyTable();
    void loadsSortsAndSummarises();
    void storedViewSettingsAreApplied();
    void viewRangeFromTheMenu();
    void aRefusedViewWriteIsReportedAndEndsOnlyThatChange_data();
    void aRefusedViewWriteIsReportedAndEndsOnlyThatChange();
    void aRefusedCountWriteLeavesTheViewControlsAwake();
    void searchAsYouType();
    void idleSearchPromptIsGrey_data();
    void idleSearchPromptIsGrey();
    void viewRangeBoxFitsItsLongestEntry();
    void rowLook();
    void hoverShowsTheWholeTextInTheListView();
    void statusText();
    void menusAndActions();
    void doubleClickOnEmptySpaceAddsATask();
    void treeHintOnlyOverBlankSpace();
};

void TestTasksFrame::emptyTable()
{
    Fixture f;
    TqvTasksFrame &frame = f.open();
    QCOMPARE(frame.model()->rowCount(), 0);
    QCOMPARE(frame.tipKind(), 1);
    QCOMPARE(frame.tipText(), QStringLiteral("Click here to Add a new Item."));
    QCOMPARE(f.tray.Hint(), QStringLiteral("Incomplete Tasks:\rNone"));
    QCOMPARE(IniFile(f.settings.path()).readString(QStringLiteral("log"), QStringLiteral("privateTasks")),
             QStringLiteral("0"));
    QCOMPARE(IniFile(f.settings.path()).readString(QStringLiteral("log"), QStringLiteral("publicTasks")),
             QStringLiteral("0"));
    QCOMPARE(f.window.menuBar(), frame.mainMenu());
    QVERIFY(TqvTasksFrame::StatusTips().contains(frame.statusText()));
    QVERIFY(f.prompter.messages.isEmpty());
}

void TestTasksFrame::loadsSortsAndSummarises()
{
    Fixture f;
    f.add({"{P}", "", "pear", false, true});
    f.add({"{C1}", "{P}", "seed b", false, false});
    f.add({"{C2}", "{P}", "Seed a", true, false});
    f.add({"", "", "apple\r\nsecond line of the apple task", false, false});
    f.add({"", "", "Banana", true, false});
    f.add({"", "", "cherry", false, false});
    f.add({"", "{MISSING}", "orphan", false, false});
    TqvTasksFrame &frame = f.open();

    QCOMPARE(f.shownRows(), (QStringList{"apple\r\nsecond line of the apple task", "Banana", "cherry", "pear",
                                         "  Seed a", "  seed b"}));
    QCOMPARE(frame.tipKind(), 0);
    QCOMPARE(f.settings.startup().privateTasks, 7);  // the orphan counts
    QCOMPARE(f.tray.Hint(),
             QStringLiteral("Incomplete Tasks:\r(1) apple  second line o...\r(2) cherry\r(3) orphan\r(4) pear\r ..."));
    QVERIFY(frame.treeView()->hasFocus() || !QApplication::focusWindow());
}

void TestTasksFrame::storedViewSettingsAreApplied()
{
    Fixture f;
    {
        IniFile ini(f.settings.path());
        ini.write(SettingsKeys::ViewRange, 1);
        ini.write(SettingsKeys::ViewAscEn, false);
        ini.write(SettingsKeys::ViewListEn, true);
    }
    f.add({"{T}", "", "incomplete task", false, false});
    f.add({"", "{T}", "complete child", true, false});
    f.add({"", "{T}", "incomplete child", false, false});
    f.add({"", "", "a complete one", true, false});
    f.add({"", "", "z complete one", true, false});
    TqvTasksFrame &frame = f.open();
    QCOMPARE(frame.findChild<QComboBox *>(QStringLiteral("Comb_ViewRange"))->currentIndex(), 1);
    QVERIFY(frame.action(QStringLiteral("Action_ViewList"))->isChecked());
    QVERIFY(!frame.sortAscending());
    QCOMPARE(frame.action(QStringLiteral("Action_ViewAsc"))->toolTip(), QStringLiteral("Ascending Sort"));
    // Descending; the incomplete parent stays for its complete child; numbers count hidden siblings.
    frame.treeView()->expandAll();
    QCOMPARE(f.shownRows(), (QStringList{"1. z complete one", "2. incomplete task", "  (2)complete child",
                                         "3. a complete one"}));
    QVERIFY(frame.findChild<QAction *>(QStringLiteral("Menu_Complete"))->isChecked());
}

void TestTasksFrame::viewRangeFromTheMenu()
{
    Fixture f;
    f.add({"", "", "open", false, false});
    f.add({"", "", "done", true, false});
    TqvTasksFrame &frame = f.open();
    frame.findChild<QAction *>(QStringLiteral("Menu_Incomplete"))->trigger();
    QCOMPARE(f.shownRows(), QStringList{"open"});
    QCOMPARE(frame.findChild<QComboBox *>(QStringLiteral("Comb_ViewRange"))->currentIndex(), 2);
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewRange), 2);
    frame.findChild<QAction *>(QStringLiteral("Menu_ViewAll"))->trigger();
    QCOMPARE(f.shownRows(), (QStringList{"done", "open"}));
}

namespace {

// A folder where the settings file should be: no user, root included, can write it.
void MakeUnwritable(const QString &settingsPath)
{
    QFile::remove(settingsPath);
    QVERIFY(QDir().mkdir(settingsPath));
}

}  // namespace

void TestTasksFrame::aRefusedViewWriteIsReportedAndEndsOnlyThatChange_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QStringList>("rows");  // shown afterwards
    const QStringList both{"done", "open"};
    QTest::newRow("View > Incomplete Tasks") << QStringLiteral("Menu_Incomplete") << QStringList{"open"};
    QTest::newRow("view-range box") << QStringLiteral("Comb_ViewRange") << QStringList{"done"};
    QTest::newRow("View List") << QStringLiteral("Action_ViewList") << QStringList{"1. done", "2. open"};
    QTest::newRow("View Date") << QStringLiteral("Action_ViewDate") << both;
    QTest::newRow("sort direction") << QStringLiteral("Action_ViewAsc") << QStringList{"open", "done"};
}

void TestTasksFrame::aRefusedViewWriteIsReportedAndEndsOnlyThatChange()
{
    QFETCH(QString, control);
    QFETCH(QStringList, rows);
    Fixture f;
    f.add({"", "", "open", false, false});
    f.add({"", "", "done", true, false});
    TqvTasksFrame &frame = f.open();
    MakeUnwritable(f.settings.path());
    if (control == QLatin1String("Comb_ViewRange")) {
        auto *box = frame.findChild<QComboBox *>(control);
        box->setCurrentIndex(1);
        emit box->activated(1);
    } else {
        frame.findChild<QAction *>(control)->trigger();
    }
    QCOMPARE(f.prompter.lines(), QStringList{"Ambrel Quillpad: Unable to write to " + f.settings.path() + "."});
    if (control == QLatin1String("Action_ViewDate")) {
        QCOMPARE(f.shownRows().size(), 2);
        QVERIFY(f.shownRows().front().startsWith(QStringLiteral("done -- Created: ")));
    } else {
        QCOMPARE(f.shownRows(), rows);
    }
}

void TestTasksFrame::aRefusedCountWriteLeavesTheViewControlsAwake()
{
    Fixture f;
    f.add({"", "", "open", false, false});
    f.add({"", "", "done", true, false});
    MakeUnwritable(f.settings.path());
    TqvTasksFrame &frame = f.open();
    QCOMPARE(f.prompter.lines(), QStringList{"Ambrel Quillpad: Unable to write to " + f.settings.path() + "."});
    QCOMPARE(f.shownRows().size(), 2);  // the settings of a full disk leave the list readable
    QVERIFY(QDir().rmdir(f.settings.path()));

    frame.findChild<QAction *>(QStringLiteral("Menu_Incomplete"))->trigger();
    QCOMPARE(IniFile(f.settings.path()).read(SettingsKeys::ViewRange), 2);
    frame.ReloadTasks();
    QCOMPARE(f.shownRows(), QStringList{"open"});
    QVERIFY(frame.reminderTimer().isActive());
    QCOMPARE(f.prompter.messages.size(), 1);
}

void TestTasksFrame::searchAsYouType()
{
    Fixture f;
    f.add({"{H}", "", "Holiday", false, false});
    f.add({"", "{H}", "book the Train", false, false});
    f.add({"", "{H}", "pack", false, false});
    f.add({"", "", "Train ticket\r\nrefund", false, false});
    f.add({"", "", "taxes", false, false});
    TqvTasksFrame &frame = f.open();
    auto *search = frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    QCOMPARE(search->text(), QStringLiteral("  Search..."));
    QVERIFY(!frame.searchOn());

    search->setFocus();
    QApplication::processEvents();
    QVERIFY(frame.searchOn());
    QCOMPARE(search->text(), QString());
    QTest::keyClicks(search, QStringLiteral("Train"));
    // The sub-task match shows and expands its parent; the parent's own text does not match.
    QCOMPARE(f.shownRows(), (QStringList{"Holiday", "  book the Train", "Train ticket\r\nrefund"}));
    QApplication::processEvents();  // stored after the keystroke's repaint
    Query check(f.connection);
    OpenSql(check, QStringLiteral("select * from tasks where tid='{H}'"));
    QVERIFY(check.field(u"expandFlag").asBoolean());  // expanding by the search is stored

    search->setText(QStringLiteral("train"));  // case matters
    QCOMPARE(f.shownRows(), QStringList{});
    QCOMPARE(frame.tipKind(), 3);
    QCOMPARE(frame.tipText(), QStringLiteral("Search no result"));
    search->setText(QStringLiteral("ticket refund"));  // no match across a line break
    QCOMPARE(frame.tipKind(), 3);
    search->setText(QStringLiteral("   "));  // blanks only filter nothing
    QCOMPARE(f.shownRows().size(), 5);
    QCOMPARE(frame.tipKind(), 0);

    search->setText(QStringLiteral("taxes"));
    QCOMPARE(f.shownRows(), QStringList{"taxes"});
    QTest::keyClick(search, Qt::Key_Escape);
    QVERIFY(!frame.searchOn());
    QCOMPARE(search->text(), QStringLiteral("  Search..."));
    QCOMPARE(f.shownRows().size(), 5);
}

void TestTasksFrame::idleSearchPromptIsGrey_data()
{
    QTest::addColumn<QString>("way");
    QTest::newRow("Esc") << "esc";
    QTest::newRow("search button") << "button";
    QTest::newRow("leaving the box empty") << "leave";
}

void TestTasksFrame::idleSearchPromptIsGrey()
{
    QFETCH(QString, way);
    Fixture f;
    f.add({"", "", "only", false, false});
    TqvTasksFrame &frame = f.open();
    QApplication::setActiveWindow(&f.window);
    auto *search = frame.findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    const QColor grey = frame.palette().color(QPalette::Disabled, QPalette::Text);
    const QColor normal = frame.palette().color(QPalette::Active, QPalette::Text);
    QVERIFY(grey != normal);
    QCOMPARE(search->palette().color(QPalette::Text), grey);

    search->setFocus();
    QApplication::processEvents();
    QVERIFY(frame.searchOn());
    QCOMPARE(search->palette().color(QPalette::Text), normal);
    if (way == "esc") {
        QTest::keyClick(search, Qt::Key_Escape);
    } else if (way == "button") {
        frame.findChild<QToolButton *>(QStringLiteral("Btn_Search"))->click();
    } else {
        frame.treeView()->setFocus();
        QApplication::processEvents();
    }
    QVERIFY(!frame.searchOn());
    QCOMPARE(search->text(), QStringLiteral("  Search..."));
    QCOMPARE(search->palette().color(QPalette::Text), grey);
}

void TestTasksFrame::viewRangeBoxFitsItsLongestEntry()
{
    // A desktop font larger than the one the box was first laid out for.
    const QFont before = QApplication::font();
    QFont large = before;
    large.setPixelSize(18);
    QApplication::setFont(large);
    Fixture f;
    TqvTasksFrame &frame = f.open();
    auto *box = frame.findChild<QComboBox *>(QStringLiteral("Comb_ViewRange"));
    QStyleOptionComboBox option;
    option.initFrom(box);
    option.rect = box->rect();
    const QRect field = box->style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box);
    const QFontMetrics metrics = box->fontMetrics();
    QApplication::setFont(before);
    QCOMPARE(box->itemText(2), QStringLiteral("View Incomplete"));
    for (int i = 0; i < box->count(); ++i)
        QVERIFY2(metrics.horizontalAdvance(box->itemText(i)) <= field.width(), qPrintable(box->itemText(i)));
}

void TestTasksFrame::rowLook()
{
    Fixture f;
    ManualClock clock(QDateTime(QDate(2026, 12, 10), QTime(12, 0)));
    Clock::install(&clock);
    f.add({"{E}", "", "", false, false});
    f.add({"{D}", "", "done with everything", true, false});
    f.add({"{T}", "", "due today", false, false});
    f.add({"{Y}", "", "due yesterday", false, false});
    f.add({"{A}", "", "alarm", false, false});
    f.add({"{C}", "", "coloured", false, false});
    Query query(f.connection);
    ExecSql(query, QStringLiteral("update tasks set dueFlag=True, dueTime=%1, alarmFlag=True, alarmTime=%1 where tid='{D}'")
                       .arg(Sql(EncodeDateTime(QDate(2026, 12, 1)))));
    ExecSql(query, QStringLiteral("update tasks set dueFlag=True, dueTime=%1 where tid='{T}'")
                       .arg(Sql(EncodeDateTime(QDate(2026, 12, 10), QTime(8, 0)))));
    ExecSql(query, QStringLiteral("update tasks set dueFlag=True, dueTime=%1 where tid='{Y}'")
                       .arg(Sql(EncodeDateTime(QDate(2026, 12, 9), QTime(23, 59)))));
    ExecSql(query, QStringLiteral("update tasks set alarmFlag=True, alarmTime=1 where tid='{A}'"));
    ExecSql(query, QStringLiteral("update tasks set textColor=255 where tid='{C}'"));
    TqvTasksFrame &frame = f.open();

    struct Look {
        QString text;
        bool bold;
        bool italic;
        int icon;
    };
    const auto look = [&](const QString &content) {
        const TaskNode &node = *f.node(content);
        QFont font;
        QColor colour;
        frame.VtTasksPaintText(node, false, font, colour);
        return Look{frame.VtTasksGetText(node), font.bold(), font.italic(), frame.VtTasksGetImageIndex(node)};
    };
    Look empty = look(QString());
    QCOMPARE(empty.text, QStringLiteral("Input content here"));
    QVERIFY(empty.italic);
    Look done = look(QStringLiteral("done with everything"));
    QCOMPARE(done.icon, -1);  // complete: no icon, never bold
    QVERIFY(!done.bold && done.italic);
    Look today = look(QStringLiteral("due today"));
    QCOMPARE(today.icon, 24);
    QVERIFY(!today.bold);
    Look yesterday = look(QStringLiteral("due yesterday"));
    QCOMPARE(yesterday.icon, 23);
    QVERIFY(yesterday.bold);
    QCOMPARE(look(QStringLiteral("alarm")).icon, 22);
    QFont font;
    QColor colour;
    frame.VtTasksPaintText(*f.node(QStringLiteral("coloured")), false, font, colour);
    QCOMPARE(colour, QColor(255, 0, 0));

    // The list view numbers rows and flattens them to one line high; the date view adds dates.
    frame.action(QStringLiteral("Action_ViewList"))->setChecked(true);
    frame.action(QStringLiteral("Action_ViewDate"))->setChecked(true);
    const TaskNode &dueToday = *f.node(QStringLiteral("due today"));
    QCOMPARE(frame.VtTasksGetText(dueToday),
             QString::number(dueToday.position + 1) + QStringLiteral(". due today -- Created: ") +
                 QLocale::system().toString(QDate(2026, 12, 1), QLocale::ShortFormat) + QStringLiteral("  Due: ") +
                 QLocale::system().toString(QDate(2026, 12, 10), QLocale::ShortFormat));
    QCOMPARE(frame.VtTasksGetText(*f.node(QString())), QStringLiteral("Input content here"));
    const int oneLine = frame.VtTasksMeasureItem(dueToday, 60);
    frame.action(QStringLiteral("Action_ViewList"))->setChecked(false);
    QVERIFY(frame.VtTasksMeasureItem(dueToday, 60) > oneLine);  // wrapped in a narrow column
    Clock::install(nullptr);
}

void TestTasksFrame::hoverShowsTheWholeTextInTheListView()
{
    Fixture f;
    f.add({"", "", "first line\r\nsecond line", false, false});
    f.add({"", "", "short", false, false});
    TqvTasksFrame &frame = f.open();
    frame.action(QStringLiteral("Action_ViewList"))->trigger();
    QVERIFY(frame.action(QStringLiteral("Action_ViewList"))->isChecked());
    TaskNode *longTask = f.node(QStringLiteral("first line\r\nsecond line"));
    QCOMPARE(frame.VtTasksGetText(*longTask), QStringLiteral("1. first line  second line"));
    const int oneLine = frame.VtTasksMeasureItem(*longTask, 300);

    // Resting on the row starts the 300 ms delay; when it runs out the row shows everything.
    QWidget *viewport = frame.treeView()->viewport();
    const QRect row = frame.treeView()->visualRect(frame.model()->indexOf(longTask));
    QTest::mouseMove(viewport, row.center());
    QCOMPARE(frame.treeView()->hotNode(), longTask);
    QTimer &delay = frame.hoverDelayTimer();
    QVERIFY(delay.isActive());
    QCOMPARE(delay.interval(), 300);
    delay.stop();
    QVERIFY(QMetaObject::invokeMethod(&delay, "timeout"));
    QCOMPARE(frame.hoverNode(), longTask);
    QCOMPARE(frame.VtTasksGetText(*longTask), QStringLiteral("1. first line\r\nsecond line"));
    QVERIFY(frame.VtTasksMeasureItem(*longTask, 300) > oneLine);

    // Moving to another row gives the first its one line back; a filter pass forgets the hover.
    const QRect other = frame.treeView()->visualRect(frame.model()->indexOf(f.node(QStringLiteral("short"))));
    QTest::mouseMove(viewport, other.center());
    delay.stop();
    QVERIFY(QMetaObject::invokeMethod(&delay, "timeout"));
    QCOMPARE(frame.hoverNode(), f.node(QStringLiteral("short")));
    QCOMPARE(frame.VtTasksMeasureItem(*longTask, 300), oneLine);
    frame.ApplyViewFilter();
    QVERIFY(!frame.hoverNode());
}

void TestTasksFrame::statusText()
{
    Fixture f;
    f.add({"{D}", "", "done", true, false});
    f.add({"{B}", "", "both", false, false});
    Query query(f.connection);
    ExecSql(query, QStringLiteral("update tasks set checkTime=%1 where tid='{D}'")
                       .arg(Sql(EncodeDateTime(QDate(2026, 12, 2), QTime(14, 5, 6)))));
    ExecSql(query, QStringLiteral("update tasks set dueFlag=True, dueTime=%1, alarmFlag=True, alarmTime=%2 where tid='{B}'")
                       .arg(Sql(EncodeDateTime(QDate(2026, 12, 20)))).arg(Sql(EncodeDateTime(QDate(2026, 12, 19), QTime(8, 0)))));
    TqvTasksFrame &frame = f.open();
    TaskTreeView *view = frame.treeView();
    view->setCurrentIndex(frame.model()->indexOf(f.node(QStringLiteral("done"))));
    QCOMPARE(frame.statusText(),
             DateTimeText(EncodeDateTime(QDate(2026, 12, 2), QTime(14, 5, 6))) + QStringLiteral(" completed"));
    QVERIFY(frame.action(QStringLiteral("Action_TaskEdit"))->isEnabled());
    QCOMPARE(frame.action(QStringLiteral("Action_TaskComplete"))->text(), QStringLiteral("Unmark Complete"));
    view->setCurrentIndex(frame.model()->indexOf(f.node(QStringLiteral("both"))));
    QVERIFY2(frame.statusText().startsWith(QStringLiteral("Due date: ") +
                                           QLocale::system().toString(QDate(2026, 12, 20), QLocale::ShortFormat) +
                                           QStringLiteral("  Reminder time: ")),
             qPrintable(frame.statusText()));
    QCOMPARE(frame.action(QStringLiteral("Action_TaskComplete"))->text(), QStringLiteral("Mark Complete"));
    view->clearSelection();
    QVERIFY(TqvTasksFrame::StatusTips().contains(frame.statusText()));
    QVERIFY(!frame.action(QStringLiteral("Action_TaskEdit"))->isEnabled());
}

void TestTasksFrame::menusAndActions()
{
    Fixture f;
    f.add({"{P}", "", "parent", false, false});
    f.add({"", "{P}", "child", false, false});
    TqvTasksFrame &frame = f.open();
    QStringList titles;
    for (QAction *menu : frame.mainMenu()->actions())
        titles.append(menu->text());
    QCOMPARE(titles, (QStringList{"&File", "&Edit", "&View", "&Tasks", "&Help"}));
    QStringList edit;
    for (QAction *item : frame.mainMenu()->actions().at(1)->menu()->actions())
        edit.append(item->isSeparator() ? QStringLiteral("-") : item->text());
    QCOMPARE(edit, (QStringList{"&Copy             Ctrl+C", "&Paste            Ctrl+V", "-",
                                "&Select All       Ctrl+A", "&Deselect"}));
    // Nothing selected: the commands that need a task are off, the others on.
    QVERIFY(frame.action(QStringLiteral("Action_TaskAdd"))->isEnabled());
    QVERIFY(!frame.action(QStringLiteral("Action_TaskDelete"))->isEnabled());
    QVERIFY(!f.window.findChild<QMenu *>(QStringLiteral("MainMoveTo"))->isEnabled());
    // A sub-task can always move to the top level.
    frame.treeView()->expandAll();
    frame.treeView()->setCurrentIndex(frame.model()->indexOf(f.node(QStringLiteral("child"))));
    QVERIFY(f.window.findChild<QMenu *>(QStringLiteral("MainMoveTo"))->isEnabled());
    // The only top-level task has nowhere to go.
    frame.treeView()->setCurrentIndex(frame.model()->indexOf(f.node(QStringLiteral("parent"))));
    QVERIFY(!frame.findChild<QMenu *>(QStringLiteral("Menu_Moveto"))->isEnabled());
}

void TestTasksFrame::doubleClickOnEmptySpaceAddsATask()
{
    Fixture f;
    f.add({"", "", "only", false, false});
    TqvTasksFrame &frame = f.open();
    int added = 0;
    connect(frame.action(QStringLiteral("Action_TaskAdd")), &QAction::triggered, [&added] { ++added; });
    QWidget *viewport = frame.treeView()->viewport();
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, QPoint(20, viewport->height() - 5));
    QCoreApplication::sendPostedEvents(&frame);
    QCOMPARE(added, 1);
    const QRect row = frame.treeView()->visualRect(frame.model()->index(0, 0));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, row.center());
    QCoreApplication::sendPostedEvents(&frame);
    QCOMPARE(added, 1);  // on a row: nothing
}

void TestTasksFrame::treeHintOnlyOverBlankSpace()
{
    Fixture f;
    f.add({"", "", "first", false, false});
    f.add({"", "", "second\r\nof two lines", false, false});
    TqvTasksFrame &frame = f.open();
    QWidget *viewport = frame.treeView()->viewport();
    const auto hintAt = [viewport](const QPoint &at) {
        // Gone at once: hiding the usual way leaves the hint up for a while.
        for (QWidget *top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QLatin1String("qtooltip_label"))
                top->hide();
        }
        QHelpEvent help(QEvent::ToolTip, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &help);
        return QToolTip::isVisible() ? QToolTip::text() : QString();
    };
    const QRect second = frame.treeView()->visualRect(frame.model()->index(1, 0));
    QCOMPARE(hintAt(QPoint(viewport->width() / 2, viewport->height() - 5)), QStringLiteral("Double click to add a Task!"));
    QCOMPARE(hintAt(frame.treeView()->visualRect(frame.model()->index(0, 0)).center()), QString());
    QCOMPARE(hintAt(QPoint(2, second.bottom() - 2)), QString());  // the row's lower lines, at its left edge
    QCOMPARE(hintAt(QPoint(viewport->width() - 2, second.top() + 2)), QString());
    QCOMPARE(hintAt(QPoint(viewport->width() / 2, viewport->height() - 5)), QStringLiteral("Double click to add a Task!"));
    QToolTip::hideText();
}

QTEST_MAIN(TestTasksFrame)
#include "tst_tasksframe.moc"
