// What a row shows, from a task's record and the view state alone: text and placeholder,
// list numbering and date suffix, overdue font and icon, colours, striping and height.

#include "store/DateText.h"
#include "tasks/Contrast.h"
#include "tasks/RowPresenter.h"
#include "tasks/StoredColor.h"

#include <QFontMetrics>
#include <QTest>

using namespace quillpad;

Q_DECLARE_METATYPE(TTaskInfo)
Q_DECLARE_METATYPE(RowIcon)
Q_DECLARE_METATYPE(RowBackground)

namespace {

const QDate Today(2026, 12, 10);
const TDateTime Created = EncodeDateTime(QDate(2026, 12, 1), QTime(9, 30));
const TDateTime Completed = EncodeDateTime(QDate(2026, 12, 5), QTime(17, 0));
const TDateTime Alarm = EncodeDateTime(QDate(2026, 12, 12), QTime(8, 15));

const QColor TextColour(10, 10, 10);
const QColor HighlightedColour(250, 250, 250);
const QColor GreyColour(100, 100, 100);  // reads on white
const QColor DisabledGroupText(90, 90, 90);
const QColor ToolTipColour(255, 255, 220);

QPalette TestPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Normal, QPalette::Text, TextColour);
    palette.setColor(QPalette::Normal, QPalette::HighlightedText, HighlightedColour);
    palette.setColor(QPalette::Disabled, QPalette::Text, GreyColour);
    palette.setColor(QPalette::Disabled, QPalette::HighlightedText, DisabledGroupText);
    palette.setColor(QPalette::ToolTipBase, ToolTipColour);
    palette.setColor(QPalette::Highlight, QColor(0, 0, 200));
    return palette;
}

RowView View(bool listView = false, bool dateView = false)
{
    RowView view;
    view.listView = listView;
    view.dateView = dateView;
    view.today = Today;
    view.font = QFont(QStringLiteral("Sans"), 10);
    view.palette = TestPalette();
    return view;
}

enum class Due { None, Yesterday, Today, Tomorrow };

TTaskInfo Task(const QString &content, bool checked = false, Due due = Due::None, bool alarm = false)
{
    TTaskInfo info;
    info.content = content;
    info.createTime = Created;
    info.checkFlag = checked;
    if (checked)
        info.checkTime = Completed;
    if (due != Due::None) {
        info.dueFlag = true;
        const int days = due == Due::Yesterday ? -1 : due == Due::Today ? 0 : 1;
        info.dueTime = EncodeDateTime(Today.addDays(days), QTime(23, 59));
    }
    if (alarm) {
        info.alarmFlag = true;
        info.alarmTime = Alarm;
    }
    return info;
}

}  // namespace

class TestRowPresenter : public QObject {
    Q_OBJECT

private slots:
    void text_data();
    void text();
    void fontAndIcon_data();
    void fontAndIcon();
    void textColour_data();
    void textColour();
    void background_data();
    void background();
    void height();
    void contrast_data();
    void contrast();
};

void TestRowPresenter::text_data()
{
    QTest::addColumn<TTaskInfo>("task");
    QTest::addColumn<bool>("listView");
    QTest::addColumn<bool>("dateView");
    QTest::addColumn<bool>("topLevel");
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("expanded");
    QTest::addColumn<QString>("expected");

    const QString created = QStringLiteral(" -- Created: ") + ShortDateText(Created);
    const TTaskInfo twoLines = Task(QStringLiteral("one\r\ntwo"));
    QTest::newRow("plain") << Task("buy milk") << false << false << true << 0 << false << false << "buy milk";
    QTest::newRow("placeholder") << Task("") << false << false << true << 0 << false << false << "Input content here";
    QTest::newRow("placeholder, no number or date")
        << Task("") << true << true << true << 3 << false << false << "Input content here";
    QTest::newRow("editing shows the stored text only")
        << twoLines << true << true << true << 0 << true << false << "one\r\ntwo";
    QTest::newRow("editing an empty task") << Task("") << false << false << true << 0 << true << false << "";
    QTest::newRow("list: top level numbered, one line")
        << twoLines << true << false << true << 4 << false << false << "5. one  two";
    QTest::newRow("list: sub-task in brackets") << Task("sub") << true << false << false << 0 << false << false << "(1)sub";
    QTest::newRow("list: hover shows every line")
        << twoLines << true << false << true << 0 << false << true << "1. one\r\ntwo";
    QTest::newRow("no list view: lines kept") << twoLines << false << false << true << 0 << false << false
                                              << "one\r\ntwo";
    QTest::newRow("date: created only") << Task("a") << false << true << true << 0 << false << false
                                        << QStringLiteral("a") + created;
    QTest::newRow("date: due and alarm")
        << Task("a", false, Due::Tomorrow, true) << false << true << true << 0 << false << false
        << QStringLiteral("a") + created + QStringLiteral("  Due: ") + ShortDateText(Task("", false, Due::Tomorrow).dueTime) +
               QStringLiteral("  Alarm: ") + DateTimeText(Alarm);
    QTest::newRow("date: completed hides due and alarm")
        << Task("a", true, Due::Tomorrow, true) << false << true << true << 0 << false << false
        << QStringLiteral("a") + created + QStringLiteral("  Completed: ") + ShortDateText(Completed);
    QTest::newRow("list and date: number first, dates after")
        << Task("a") << true << true << false << 1 << false << false << QStringLiteral("(2)a") + created;
}

void TestRowPresenter::text()
{
    QFETCH(TTaskInfo, task);
    QFETCH(bool, listView);
    QFETCH(bool, dateView);
    QFETCH(bool, topLevel);
    QFETCH(int, position);
    QFETCH(bool, editing);
    QFETCH(bool, expanded);
    QFETCH(QString, expected);
    RowState state;
    state.editing = editing;
    state.expanded = expanded;
    QCOMPARE(RowPresenter(View(listView, dateView)).text(task, {topLevel, position}, state), expected);
}

void TestRowPresenter::fontAndIcon_data()
{
    QTest::addColumn<TTaskInfo>("task");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<bool>("italic");
    QTest::addColumn<RowIcon>("icon");

    QTest::newRow("plain") << Task("a") << false << false << false << RowIcon::None;
    QTest::newRow("placeholder italic") << Task("") << false << false << true << RowIcon::None;
    QTest::newRow("complete italic, no icon") << Task("a", true, Due::Yesterday, true) << false << false << true
                                              << RowIcon::None;
    QTest::newRow("due today is not overdue") << Task("a", false, Due::Today) << false << false << false << RowIcon::Due;
    QTest::newRow("due tomorrow") << Task("a", false, Due::Tomorrow) << false << false << false << RowIcon::Due;
    QTest::newRow("overdue bold") << Task("a", false, Due::Yesterday) << false << true << false << RowIcon::Overdue;
    QTest::newRow("alarm before due") << Task("a", false, Due::Yesterday, true) << false << true << false
                                      << RowIcon::Alarm;
    QTest::newRow("alarm") << Task("a", false, Due::None, true) << false << false << false << RowIcon::Alarm;
    QTest::newRow("editing: overdue stays bold") << Task("a", false, Due::Yesterday) << true << true << false
                                                 << RowIcon::Overdue;
    QTest::newRow("editing: no italic") << Task("", true) << true << false << false << RowIcon::None;
}

void TestRowPresenter::fontAndIcon()
{
    QFETCH(TTaskInfo, task);
    QFETCH(bool, editing);
    QFETCH(bool, bold);
    QFETCH(bool, italic);
    QFETCH(RowIcon, icon);
    const RowPresenter presenter(View());
    RowState state;
    state.editing = editing;
    const QFont font = presenter.font(task, state);
    QCOMPARE(font.bold(), bold);
    QCOMPARE(font.italic(), italic);
    QCOMPARE(font.family(), presenter.view().font.family());
    QCOMPARE(font.pointSize(), 10);
    QCOMPARE(presenter.icon(task), icon);
    QCOMPARE(presenter.isOverdue(task), task.dueFlag && DateOf(task.dueTime) < Today);
}

void TestRowPresenter::textColour_data()
{
    QTest::addColumn<TTaskInfo>("task");
    QTest::addColumn<bool>("selected");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QColor>("expected");

    TTaskInfo red = Task("red");
    red.textColor = QColorToStored(QColor(255, 0, 0));
    TTaskInfo grey = Task("grey");
    grey.textColor = QColorToStored(GreyColour);
    TTaskInfo system = Task("tooltip background");
    system.textColor = SystemColorValue(24);
    TTaskInfo doneRed = Task("done", true);
    doneRed.textColor = red.textColor;

    QTest::newRow("plain") << Task("a") << false << false << true << TextColour;
    QTest::newRow("plain selected") << Task("a") << true << false << true << HighlightedColour;
    QTest::newRow("plain disabled") << Task("a") << false << false << false << GreyColour;
    QTest::newRow("plain selected disabled") << Task("a") << true << false << false << DisabledGroupText;
    QTest::newRow("complete greyed") << doneRed << false << false << true << GreyColour;
    QTest::newRow("complete selected") << doneRed << true << false << true << HighlightedColour;
    QTest::newRow("placeholder greyed") << Task("") << false << false << true << GreyColour;
    QTest::newRow("placeholder selected") << Task("") << true << false << true << HighlightedColour;
    QTest::newRow("stored colour") << red << false << false << true << QColor(255, 0, 0);
    QTest::newRow("stored colour kept when selected") << red << true << false << true << QColor(255, 0, 0);
    QTest::newRow("stored grey selected reads as selection") << grey << true << false << true << HighlightedColour;
    QTest::newRow("system colour from the palette") << system << false << false << true << ToolTipColour;
    QTest::newRow("editing: the plain pen") << red << false << true << true << TextColour;
}

void TestRowPresenter::textColour()
{
    QFETCH(TTaskInfo, task);
    QFETCH(bool, selected);
    QFETCH(bool, editing);
    QFETCH(bool, enabled);
    QFETCH(QColor, expected);
    RowState state;
    state.selected = selected;
    state.editing = editing;
    state.enabled = enabled;
    QCOMPARE(RowPresenter(View()).textColor(task, {}, state), expected);
}

void TestRowPresenter::background_data()
{
    QTest::addColumn<bool>("topLevel");
    QTest::addColumn<int>("position");
    QTest::addColumn<qint32>("stored");
    QTest::addColumn<bool>("hot");
    QTest::addColumn<bool>("editing");
    QTest::addColumn<RowBackground>("kind");
    QTest::addColumn<QColor>("colour");

    const qint32 yellow = QColorToStored(QColor(255, 255, 0));
    QTest::newRow("first top-level row") << true << 0 << 0 << false << false << RowBackground::TopLevelEven << QColor();
    QTest::newRow("second top-level row") << true << 1 << 0 << false << false << RowBackground::TopLevelOdd << QColor();
    QTest::newRow("third top-level row") << true << 2 << 0 << false << false << RowBackground::TopLevelEven << QColor();
    QTest::newRow("sub-task, even") << false << 0 << 0 << false << false << RowBackground::SubTask << QColor();
    QTest::newRow("sub-task, odd") << false << 1 << 0 << false << false << RowBackground::SubTask << QColor();
    QTest::newRow("stored colour over the stripes") << true << 1 << yellow << false << false << RowBackground::Stored
                                                    << QColor(255, 255, 0);
    QTest::newRow("stored system colour") << false << 0 << SystemColorValue(24) << false << false
                                          << RowBackground::Stored << ToolTipColour;
    QTest::newRow("hot over the stored colour") << true << 0 << yellow << true << false << RowBackground::Hot
                                                << ToolTipColour;
    QTest::newRow("editing: nothing") << true << 0 << yellow << true << true << RowBackground::None << QColor();
}

void TestRowPresenter::background()
{
    QFETCH(bool, topLevel);
    QFETCH(int, position);
    QFETCH(qint32, stored);
    QFETCH(bool, hot);
    QFETCH(bool, editing);
    QFETCH(RowBackground, kind);
    QFETCH(QColor, colour);
    TTaskInfo task = Task("a");
    task.backgroundColor = stored;
    RowState state;
    state.hot = hot;
    state.editing = editing;
    const RowFill fill = RowPresenter(View()).background(task, {topLevel, position}, state);
    QCOMPARE(fill.kind, kind);
    QCOMPARE(fill.color, colour);
}

void TestRowPresenter::height()
{
    const TTaskInfo task = Task(QStringLiteral("a long text that wraps over several lines in a narrow column"));
    const TTaskInfo twoLines = Task(QStringLiteral("one\ntwo"));
    const RowPresenter tree(View());
    const RowPresenter list(View(true));
    const QFontMetrics metrics(tree.view().font);
    const int line = metrics.boundingRect(QStringLiteral("l")).height();
    const int oneLine = list.height(task, {}, {}, 60);

    // The list view is one line high whatever the width; the tree view wraps.
    QVERIFY(oneLine >= line + 4);
    QCOMPARE(list.height(task, {}, {}, 1000), oneLine);
    QVERIFY(tree.height(task, {}, {}, 60) > oneLine);
    QCOMPARE(tree.height(Task("a"), {}, {}, 1000), oneLine);
    QVERIFY(tree.height(twoLines, {}, {}, 1000) > oneLine);

    // Hovered in the list view: the whole text.
    RowState hover;
    hover.expanded = true;
    QVERIFY(list.height(twoLines, {}, hover, 1000) > oneLine);

    // The edited row is at least four lines high, and no higher than the view less a line.
    RowState editing;
    editing.editing = true;
    QVERIFY(list.height(Task("a"), {}, editing, 1000) >= 4 * line + 4);
    RowView low = View(true);
    low.viewHeight = 3 * line;
    QCOMPARE(RowPresenter(low).height(task, {}, editing, 60), 2 * line);
}

void TestRowPresenter::contrast_data()
{
    QTest::addColumn<QColor>("pen");
    QTest::addColumn<QList<QColor>>("backgrounds");
    QTest::addColumn<QColor>("expected");  // invalid: any pen that reads

    const QColor white(Qt::white), black(Qt::black);
    QTest::newRow("readable pen kept") << QColor(0, 0, 128) << QList<QColor>{white} << QColor(0, 0, 128);
    QTest::newRow("light grey on white darkens") << QColor(190, 190, 190) << QList<QColor>{white} << QColor();
    QTest::newRow("light text on white") << QColor(252, 252, 252) << QList<QColor>{white} << QColor();
    QTest::newRow("dark grey on near black lightens") << QColor(70, 72, 74) << QList<QColor>{QColor(27, 30, 32)}
                                                      << QColor();
    QTest::newRow("over a gradient") << QColor(150, 150, 150)
                                     << QList<QColor>{QColor(251, 251, 250), QColor(213, 211, 208)} << QColor();
    QTest::newRow("plain text on navy: white") << QColor(10, 10, 10) << QList<QColor>{QColor(0, 0, 128)} << white;
    QTest::newRow("black to white: the best there is") << QColor(128, 128, 128) << QList<QColor>{black, white}
                                                        << QColor();
}

void TestRowPresenter::contrast()
{
    QFETCH(QColor, pen);
    QFETCH(QList<QColor>, backgrounds);
    QFETCH(QColor, expected);
    QCOMPARE(ContrastRatio(Qt::black, Qt::white), 21.0);
    QVERIFY(qAbs(ContrastRatio(QColor(0x76, 0x76, 0x76), Qt::white) - 4.54) < 0.01);

    const bool plain = QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("plain"));
    const QColor chosen = ReadableOn(pen, backgrounds, plain ? PenShift::Whole : PenShift::Least);
    if (expected.isValid()) {
        QCOMPARE(chosen, expected);
        return;
    }
    if (backgrounds.contains(QColor(Qt::black)) && backgrounds.contains(QColor(Qt::white))) {
        QVERIFY(ContrastRatio(chosen, Qt::black) > 2 && ContrastRatio(chosen, Qt::white) > 2);
        return;
    }
    for (const QColor &background : backgrounds)
        QVERIFY2(ContrastRatio(chosen, background) >= ReadableContrast, qPrintable(chosen.name()));
    // Moved no further than it had to: a grey stays a grey, not black or white.
    QVERIFY(chosen != QColor(Qt::black) && chosen != QColor(Qt::white));
}

QTEST_MAIN(TestRowPresenter)
#include "tst_rowpresenter.moc"
