// Save Task, Save All, E-mail Task and Print from the task list: which tasks each
// writes, the selection they leave, the message handed to the mail program, the pages.

#include "FrameFixture.h"

#include "app/settings/IniFile.h"
#include "app/settings/SettingsKeys.h"
#include "components/ui/FreedesktopServices.h"
#include "support/RecordingDesktopServices.h"

#include "tasks/ui/TaskTreePrinter.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QPrinter>
#include <QRegularExpression>

#include <QFile>

using namespace quillpad;

namespace {

const QString TextFilter = QStringLiteral("Text file (*.txt)");

// A list shown with "View Incomplete": B's completed, due sub-task is hidden.
class SavingFixture : public EditFixture {
public:
    explicit SavingFixture(int viewRange = 2)
    {
        IniFile(settings.path()).write(SettingsKeys::ViewRange, viewRange);
        add({"{A}", "", "A", false, true});
        add({"{A1}", "{A}", "a1", false, false});
        add({"{A2}", "{A}", "a2", false, false});
        add({"{B}", "", "B", false, true});
        add({"{B1}", "{B}", "b1 done", true, false});
        Query query(connection);
        ExecSql(query, QStringLiteral("update tasks set dueFlag=True, dueTime=%1 where tid='{B1}'")
                           .arg(Sql(EncodeDateTime(QDate(2026, 12, 24), QTime(0, 0)))));
        openActive();
    }

    void selectNodes(const QStringList &contents)
    {
        QList<TaskNode *> nodes;
        for (const QString &content : contents)
            nodes.append(node(content));
        frame->treeView()->selectNodes(nodes, nodes.front());
    }

    // Saves through the action as text and returns the written entries and count line.
    QStringList save(const char *action)
    {
        const QString name = folder.file(QStringLiteral("out"));
        prompter.setNextFileName(name, TextFilter);
        frame->action(QString::fromLatin1(action))->trigger();
        QFile file(name + QStringLiteral(".txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {QStringLiteral("not written")};
        QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
        QStringList kept;
        for (const QString &line : lines) {
            if (line.startsWith(QLatin1String(" * ")))
                kept.append(QStringLiteral("* ") + line.mid(3).section(QStringLiteral(" - "), 0, 0));
            else if (line.startsWith(QLatin1String("   - ")))
                kept.append(QStringLiteral("- ") + line.mid(5).section(QStringLiteral(" - "), 0, 0));
            else if (line.startsWith(QLatin1String(" Tasks ")))
                kept.append(line.section(QStringLiteral(" - "), 0, 0).trimmed());
        }
        return kept;
    }
};

}  // namespace

class TestTaskOutput : public QObject {
    Q_OBJECT

private slots:
    void saveTask_data();
    void saveTask();
    void saveAllSelectsAllAndDeselects_data();
    void saveAllSelectsAllAndDeselects();
    void cancelWritesNothing();
    void nothingWhileEditing();
    void emailHandsOverBothFiles();
    void emailFailureIsSaid_data();
    void emailFailureIsSaid();
    void printPages_data();
    void printPages();
};

void TestTaskOutput::saveTask_data()
{
    QTest::addColumn<QStringList>("selected");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("nothing selected") << QStringList{} << QStringList{"Tasks 0, Sub-Tasks 0"};
    QTest::newRow("two sub-tasks of one parent")
        << QStringList{"a1", "a2"} << QStringList{"* a1", "* a2", "Tasks 2, Sub-Tasks 0"};
    QTest::newRow("hidden sub-tasks still written")
        << QStringList{"B"} << QStringList{"* B", "- b1 done", "Tasks 1, Sub-Tasks 1"};
}

void TestTaskOutput::saveTask()
{
    QFETCH(QStringList, selected);
    QFETCH(QStringList, written);
    SavingFixture f;
    QVERIFY(!f.shownRows().contains(QStringLiteral("  b1 done")));
    if (selected.isEmpty())
        f.frame->treeView()->clearSelection();
    else
        f.selectNodes(selected);
    QCOMPARE(f.save("Action_Save"), written);
    QCOMPARE(f.frame->treeView()->selectedNodes().size(), selected.size());
}

void TestTaskOutput::saveAllSelectsAllAndDeselects_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QStringList>("written");
    QTest::newRow("a top-level task selected")
        << "B" << QStringList{"* A", "- a1", "- a2", "* B", "- b1 done", "Tasks 2, Sub-Tasks 3"};
    // Select All keeps to the siblings of the selected sub-task.
    QTest::newRow("a sub-task selected") << "a1" << QStringList{"* a1", "* a2", "Tasks 2, Sub-Tasks 0"};
}

void TestTaskOutput::saveAllSelectsAllAndDeselects()
{
    QFETCH(QString, before);
    QFETCH(QStringList, written);
    SavingFixture f;
    f.selectNodes({before});
    QCOMPARE(f.save("Action_SaveAll"), written);
    QVERIFY(f.frame->treeView()->selectedNodes().isEmpty());
}

void TestTaskOutput::cancelWritesNothing()
{
    SavingFixture f;
    f.selectNodes({"A"});
    f.frame->action(QStringLiteral("Action_SaveAll"))->trigger();  // no file scripted: cancelled
    QCOMPARE(f.prompter.fileRequests.size(), 1);
    QCOMPARE(f.frame->treeView()->selectedNodes(), QList<TaskNode *>{f.node(QStringLiteral("A"))});
}

void TestTaskOutput::nothingWhileEditing()
{
    SavingFixture f;
    f.select(QStringLiteral("A"));
    f.key(Qt::Key_F2);
    QVERIFY(f.frame->editNode());
    f.frame->action(QStringLiteral("Action_Save"))->trigger();
    f.frame->action(QStringLiteral("Action_SaveAll"))->trigger();
    QVERIFY(f.prompter.fileRequests.isEmpty());
    f.cancel();
}

void TestTaskOutput::emailHandsOverBothFiles()
{
    RecordingDesktopServices desktop;
    SavingFixture f;
    const QString temp = f.folder.path() + QStringLiteral("/Temp/");
    QVERIFY(!QDir(temp).exists());
    f.selectNodes({"B"});
    f.frame->action(QStringLiteral("Action_Email"))->trigger();
    QCOMPARE(desktop.mails.size(), 1);
    const MailMessage &mail = desktop.mails.front();
    QCOMPARE(mail.subject, QStringLiteral("To-Do List"));
    QCOMPARE(mail.body, QStringLiteral("Tasks.html: HTML file, you can open it with website browser.\r\n"
                                       "Tasks.qvx: Ambrel data file, you can import it into Ambrel software "
                                       "directly.\r\n"));
    QCOMPARE(mail.attachments, (QStringList{temp + "Tasks.html", temp + "Tasks.qvx"}));
    QFile page(mail.attachments.front());
    QVERIFY(page.open(QIODevice::ReadOnly));
    const QByteArray html = page.readAll();
    QVERIFY(html.contains("b1 done</th>"));  // the hidden sub-task goes along
    QVERIFY(html.contains("<p>Tasks 1, Sub-Tasks 1 - "));
    QVERIFY(QFile::exists(mail.attachments.back()));
    QVERIFY(f.prompter.messages.isEmpty());
    QCOMPARE(f.frame->treeView()->selectedNodes().size(), 1);  // the selection stays
}

void TestTaskOutput::emailFailureIsSaid_data()
{
    QTest::addColumn<QByteArray>("xdgEmail");  // empty: none on the PATH
    QTest::addColumn<QString>("said");
    QTest::newRow("no xdg-email") << QByteArray() << "the package xdg-utils";
    QTest::newRow("no mail program") << QByteArray("exit 3") << "Install a mail program such as Thunderbird";
    QTest::newRow("hand-off refused") << QByteArray("exit 4") << "Check that the desktop's default mail program";
}

void TestTaskOutput::emailFailureIsSaid()
{
    QFETCH(QByteArray, xdgEmail);
    QFETCH(QString, said);
    QTemporaryDir bin;
    QVERIFY(bin.isValid());
    if (!xdgEmail.isEmpty()) {
        QFile script(bin.filePath(QStringLiteral("xdg-email")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n" + xdgEmail + "\n");
        script.close();
        QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()));
    const auto restore = qScopeGuard([&path] { qputenv("PATH", path); });
    FreedesktopServices desktop;
    DesktopServices::install(&desktop);
    const auto uninstall = qScopeGuard([] { DesktopServices::install(nullptr); });

    SavingFixture f;
    f.selectNodes({"B"});
    f.frame->action(QStringLiteral("Action_Email"))->trigger();
    QCOMPARE(f.prompter.messages.size(), 1);
    const QString text = f.prompter.messages.front().text;
    QVERIFY2(text.contains(said), qPrintable(text));
    // The files stay for attaching by hand, and the message says where.
    const QString temp = QDir::toNativeSeparators(f.folder.path() + QStringLiteral("/Temp/"));
    QVERIFY2(text.contains(temp), qPrintable(text));
    QVERIFY(QFile::exists(temp + QStringLiteral("Tasks.html")));
}

void TestTaskOutput::printPages_data()
{
    QTest::addColumn<int>("tasks");
    QTest::newRow("short") << 3;
    QTest::newRow("long") << 400;
}

void TestTaskOutput::printPages()
{
    QFETCH(int, tasks);
    EditFixture f;
    for (int i = 0; i < tasks; ++i)
        f.add({"", "", QStringLiteral("task %1").arg(i), i % 2 == 0, false});
    TqvTasksFrame &frame = f.openActive();
    const QString pdf = f.folder.file(QStringLiteral("tree.pdf"));
    qreal scale = 0;
    int pieceHeight = 0;
    f.prompter.printerAnswer = [&](QPrinter &printer) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        scale = QFontMetricsF(frame.treeView()->font(), &printer).height() /
                QFontMetricsF(frame.treeView()->font(), frame.treeView()).height();
        pieceHeight = int(printer.pageLayout().paintRectPixels(printer.resolution()).height() / scale);
        return true;
    };
    frame.action(QStringLiteral("Action_Print"))->trigger();
    QCOMPARE(f.prompter.printerRequests, 1);
    QVERIFY(scale > 1);  // the printer's resolution is finer than the screen's

    const int rowHeight = frame.treeView()->visualRect(frame.model()->index(0, 0)).height();
    const QImage image = TaskTreeImage(*frame.treeView());
    QCOMPARE(image.height(), tasks * rowHeight);  // every row, no header
    const int expected = (tasks * rowHeight + pieceHeight - 1) / pieceHeight;
    QCOMPARE(expected > 1, tasks > 3);

    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(file.readAll());
    QCOMPARE(text.count(QRegularExpression(QStringLiteral("/Type\\s*/Page(?!s)"))), expected);

    // Cancelling the dialog prints nothing.
    QVERIFY(file.remove());
    f.prompter.printerAnswer = nullptr;
    frame.action(QStringLiteral("Action_Print"))->trigger();
    QVERIFY(!QFile::exists(pdf));
}

QTEST_MAIN(TestTaskOutput)
#include "tst_taskoutput.moc"
