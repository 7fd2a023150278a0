// Times the program's window on a database of N tasks: from process start to the first
// painted, loaded window (the whole program, started as a child process), one pass of
// the search filter with its repaint, and the peak memory. Beside them: reading the
// same rows once with the bare SQLite C API.
// Usage: quillpad-bench-window [tasks] [repetitions] [data-folder]
// With a data folder the database is made there and kept, for profiling the child
// (QUILLPAD_HOME=<folder> quillpad-bench-window --child).

#include "BenchData.h"
#include "BenchTiming.h"

#include "store/Connection.h"
#include "app/Fm_Main.h"
#include "tasks/ui/Fr_qvTasks.h"
#include "store/Paths.h"
#include "tasks/ui/TaskTreeModel.h"
#include "tasks/ui/TaskTreeView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace quillpad;

using namespace BenchTiming;

namespace {

// Reads every row once into task records with the bare C API: the floor for loading.
double RawReadMs(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *stmt = nullptr;
    sqlite3_prepare_v2(db, "select * from tasks", -1, &stmt, nullptr);
    std::vector<TTaskInfo> rows;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
        TTaskInfo info;
        const auto text = [stmt](int column) {
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(stmt, column)),
                                     sqlite3_column_bytes(stmt, column));
        };
        info.tid = text(0);
        info.pid = text(1);
        info.content = text(2);
        info.checkFlag = sqlite3_column_int(stmt, 3);
        info.dueFlag = sqlite3_column_int(stmt, 4);
        info.alarmFlag = sqlite3_column_int(stmt, 5);
        info.expandFlag = sqlite3_column_int(stmt, 6);
        info.textColor = sqlite3_column_int(stmt, 7);
        info.backgroundColor = sqlite3_column_int(stmt, 8);
        info.createTime = sqlite3_column_double(stmt, 9);
        info.editTime = sqlite3_column_double(stmt, 10);
        info.checkTime = sqlite3_column_double(stmt, 11);
        info.alarmTime = sqlite3_column_double(stmt, 12);
        info.dueTime = sqlite3_column_double(stmt, 13);
        rows.push_back(std::move(info));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return timer.nsecsElapsed() / 1e6;
}

// The child: the program's start-up as main() does it, up to the first paint of the
// loaded list; then filter passes. Prints "painted", then the figures, one per line.
int RunWindow(int argc, char *argv[])
{
    QApplication app(argc, argv);
    TmainFm window;
    if (!window.FormCreate())
        return 1;
    bool painted = false;
    struct PaintWatch : QObject {
        TmainFm *window;
        bool *painted;
        bool eventFilter(QObject *watched, QEvent *event) override
        {
            TqvTasksFrame *frame = window->tasksFrame();
            if (event->type() == QEvent::Paint && !*painted && frame && frame->model()->rowCount() > 0 &&
                window->menuBar() == frame->mainMenu()) {
                *painted = true;
                std::printf("painted\n");
                std::fflush(stdout);
            }
            return QObject::eventFilter(watched, event);
        }
    } watch;
    watch.window = &window;
    watch.painted = &painted;
    app.installEventFilter(&watch);
    window.show();
    while (!painted)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    app.removeEventFilter(&watch);

    TqvTasksFrame *frame = window.tasksFrame();
    auto *search = frame->findChild<QLineEdit *>(QStringLiteral("Edt_Search"));
    search->setFocus();
    QCoreApplication::processEvents();
    const auto pass = [&](const QString &text) {
        QElapsedTimer timer;
        timer.start();
        search->setText(text);  // the filter runs on the change
        frame->treeView()->viewport()->repaint();
        return timer.nsecsElapsed() / 1e6;
    };
    // Typing a word letter by letter, then clearing it: the pass that shows everything.
    std::vector<double> typing;
    const QString word = QStringLiteral("report");
    for (int i = 1; i <= word.size(); ++i)
        typing.push_back(pass(word.left(i)));
    const double cleared = pass(QString());
    // The tree's own share of a keystroke: the visibility pass without the view.
    std::vector<double> treeOnly;
    for (int i = 1; i <= word.size(); ++i) {
        QElapsedTimer timer;
        timer.start();
        frame->tree().applyFilter(ViewRange::All, true, word.left(i));
        treeOnly.push_back(timer.nsecsElapsed() / 1e6);
    }
    frame->tree().applyFilter(ViewRange::All, false, QString());
    std::printf("keystroke_ms %.2f\nclear_ms %.2f\ntree_ms %.2f\nrss_kb %ld\n", Median(typing), cleared,
                Median(treeOnly), PeakRssKb());
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && QByteArray(argv[1]) == "--child")
        return RunWindow(argc, argv);

    QCoreApplication app(argc, argv);
    const int tasks = argc > 1 ? std::max(1, atoi(argv[1])) : 100000;
    const int repetitions = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    QTemporaryDir temporary;
    const QDir folder(argc > 3 ? QString::fromLocal8Bit(argv[3]) : temporary.path());
    {
        Connection connection;
        connection.open(folder.filePath(QStringLiteral("qvData.qvb")));
        BenchData::InsertTasks(connection, BenchData::MakeTasks(tasks));
    }

    std::vector<double> firstPaint, keystroke, cleared, treeOnly, raw;
    long rss = 0;
    for (int i = 0; i < repetitions; ++i) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QString::fromLatin1(Paths::DataFolderVariable), folder.path());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        child.setProcessEnvironment(environment);
        QElapsedTimer timer;
        timer.start();
        child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child")});
        while (!child.canReadLine() && child.waitForReadyRead(60000)) {
        }
        firstPaint.push_back(timer.nsecsElapsed() / 1e6);
        child.waitForFinished(120000);
        for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 2)
                continue;
            if (parts[0] == "keystroke_ms")
                keystroke.push_back(parts[1].toDouble());
            else if (parts[0] == "tree_ms")
                treeOnly.push_back(parts[1].toDouble());
            else if (parts[0] == "clear_ms")
                cleared.push_back(parts[1].toDouble());
            else if (parts[0] == "rss_kb")
                rss = std::max(rss, parts[1].toLong());
        }
        raw.push_back(RawReadMs(folder.filePath(QStringLiteral("qvData.qvb"))));
    }
    if (keystroke.empty()) {
        std::fprintf(stderr, "the window did not start\n");
        return 1;
    }
    std::printf("window, %d tasks, %d runs (medians, ms)\n", tasks, repetitions);
    std::printf("%-40s %10s %10s %8s\n", "operation", "ours", "raw read", "ratio");
    const double rawMs = Median(raw);
    const auto row = [rawMs](const char *name, double ours) {
        std::printf("%-40s %10.1f %10.1f %8.2f\n", name, ours, rawMs, ours / rawMs);
    };
    row("process start to first loaded paint", Median(firstPaint));
    row("one keystroke: filter + summary + paint", Median(keystroke));
    row("clearing the search: all rows back", Median(cleared));
    row("  of a keystroke: the tree's visibility pass", Median(treeOnly));
    std::printf("peak resident memory of the program: %.1f MB\n", rss / 1024.0);
    return 0;
}
