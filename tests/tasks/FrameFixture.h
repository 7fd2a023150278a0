#pragma once
// A task list in a main window over a fresh database, built as the program builds it.

#include "store/Connection.h"
#include "store/DateText.h"
#include "tasks/ui/FrameMessages.h"
#include "tasks/ui/Fr_qvTasks.h"
#include "app/settings/AppSettings.h"
#include "store/Query.h"
#include "components/ui/QvTray.h"
#include "support/ScriptedPrompter.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"
#include "support/TestDataFolder.h"
#include "store/pU_Funcs.h"

#include "tasks/ui/TaskTextEditor.h"

#include <QApplication>
#include <QTest>
#include <QMainWindow>

namespace quillpad {

namespace frame_fixture {

struct Row {
    QString tid;
    QString pid;
    QString content;
    bool checked = false;
    bool expanded = false;
};

// A date-time as SQL text, every digit kept.
inline QString Sql(TDateTime value)
{
    return QString::number(value, 'g', 17);
}

inline QPixmap Plain(const QColor &colour)
{
    QPixmap picture(8, 8);
    picture.fill(colour);
    return picture;
}

// A frame in a main window over a fresh database, as the program builds it.
class Fixture {
public:
    Fixture()
    {
        connection.open(folder.file(QStringLiteral("qvData.qvb")));
        settings.setPath(folder.file(QStringLiteral("qvConf.ini")));
        images = {Plain(Qt::lightGray), Plain(Qt::lightGray), Plain(Qt::cyan), Plain(Qt::white), Plain(Qt::yellow)};
        context.connection = &connection;
        context.settings = &settings;
        context.images = &images;
        context.tray = &tray;
        context.mainWindow = &window;
    }

    void add(const Row &row)
    {
        Query query(connection);
        OpenSql(query, QStringLiteral("select * from tasks where 1=0"));
        query.insert();
        query.field(u"tid").setString(row.tid.isEmpty() ? NewGuid() : row.tid);
        query.field(u"pid").setString(row.pid.isEmpty() ? RootPid : row.pid);
        query.field(u"content").setString(row.content);
        query.field(u"checkFlag").setBoolean(row.checked);
        query.field(u"expandFlag").setBoolean(row.expanded);
        query.field(u"createTime").setDateTime(EncodeDateTime(QDate(2026, 12, 1), QTime(9, 30)));
        query.post();
    }

    TqvTasksFrame &open()
    {
        frame = new TqvTasksFrame(context, &window);
        window.setCentralWidget(frame);
        window.resize(446, 545);
        window.show();
        QCoreApplication::postEvent(frame, new FrameEvent(MsgReloadTasks));
        QCoreApplication::postEvent(frame, new FrameEvent(MsgMenuSortFocus));
        QCoreApplication::sendPostedEvents(frame);
        return *frame;
    }

    QStringList shownRows() const
    {
        QStringList rows;
        const TaskTreeModel *model = frame->model();
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex top = model->index(r, 0);
            rows.append(frame->VtTasksGetText(*model->nodeAt(top)));
            if (frame->treeView()->isExpanded(top)) {
                for (int c = 0; c < model->rowCount(top); ++c)
                    rows.append(QStringLiteral("  ") + frame->VtTasksGetText(*model->nodeAt(model->index(c, 0, top))));
            }
        }
        return rows;
    }

    // The stored texts, in row order; with a condition, only those rows.
    QStringList stored(const QString &where = QString()) const
    {
        Query query(const_cast<Connection &>(connection));
        QStringList texts;
        OpenSql(query, QStringLiteral("select * from tasks") + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where));
        for (; !query.eof(); query.next())
            texts.append(query.field(u"content").asString());
        return texts;
    }

    TaskNode *node(const QString &content) const
    {
        TaskNode *found = nullptr;
        frame->tree().forEach([&](const TaskNode *node) {
            if (node->info.content == content)
                found = const_cast<TaskNode *>(node);
        });
        return found;
    }

    TestDataFolder folder;
    ScriptedPrompter prompter;
    Connection connection;
    AppSettings settings;
    BackgroundImages images;
    QWidget trayOwner;
    TQvTrayIcon tray{&trayOwner};
    QMainWindow window;
    FrameContext context;
    TqvTasksFrame *frame = nullptr;
};

// The same, shown in an active window, with the keys and the editor at hand.
class EditFixture : public Fixture {
public:
    TqvTasksFrame &openActive()
    {
        TqvTasksFrame &frame = open();
        QApplication::setActiveWindow(&window);
        window.activateWindow();
        QCoreApplication::processEvents();
        frame.treeView()->setFocus();
        return frame;
    }

    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(frame->treeView(), static_cast<Qt::Key>(key), modifiers);
        settle();
    }

    // Posted work (opening the editor, dropping a node, closed editors going away)
    // runs before the next look.
    void settle()
    {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    TaskTextEditor *editor() const { return frame->findChild<TaskTextEditor *>(); }

    void type(const QString &text) { QTest::keyClicks(editor(), text); }

    void finish(Qt::Key key = Qt::Key_Return)
    {
        QTest::keyClick(editor(), key, Qt::ControlModifier);
        settle();
    }

    void cancel()
    {
        QTest::keyClick(editor(), Qt::Key_Escape);
        settle();
    }

    void select(const QString &content)
    {
        frame->treeView()->setCurrentIndex(frame->model()->indexOf(node(content)));
    }
};

}  // namespace frame_fixture
using namespace frame_fixture;

}  // namespace quillpad
