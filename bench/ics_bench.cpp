// Times reading and importing the iCalendar files whose shape once cost time growing
// with the square of their size, each beside a file of the same bytes and tasks in a
// shape that never did, measured in the same run:
//   one unfolded line of tasks x 1000 bytes   beside the same text folded into 75-byte lines
//   a chain of `tasks` tasks, each under the one before   beside the same tasks all under the first
// A ratio near 1 at every size is linear time. Reading is TasksFromIcs; importing is
// ImportIcsFile (what `quillpad-cli ics import` does) into an empty database.
// Usage: quillpad-bench-ics [tasks] [repetitions]   (default 20000 3: a 20 MB line, a
// 20,000-deep chain: the sizes of the goal, each imported under 2 s)

#include "BenchTiming.h"

#include "store/Connection.h"
#include "store/TaskStore.h"
#include "sync/IcsFile.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace quillpad;
using namespace BenchTiming;

namespace {

const QByteArray Begin = QByteArrayLiteral("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//Bench//EN\r\n");
const QByteArray End = QByteArrayLiteral("END:VCALENDAR\r\n");

struct Times {
    std::vector<double> wall, cpu;
    void add(const std::function<void()> &work)
    {
        timespec before{}, after{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
        wall.push_back(TimeMs(work));
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
        cpu.push_back((after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6);
    }
};

// Words of varied length, so the text looks like a long note rather than one letter.
QByteArray Text(qsizetype bytes)
{
    static const char *const words[] = {"plan ", "the ", "garden ", "and ", "order ", "seeds ", "gloves ", "water "};
    QByteArray text;
    text.reserve(bytes + 8);
    for (size_t i = 0; text.size() < bytes; ++i)
        text += words[(i * 7 + i / 3) % 8];
    text.truncate(bytes);
    text.back() = 'x';  // a text keeps no trailing blank
    return text;
}

QByteArray OneTask(const QByteArray &descriptionLines)
{
    return Begin + "BEGIN:VTODO\r\nUID:long\r\n" + descriptionLines + "\r\nEND:VTODO\r\n" + End;
}

QByteArray Folded(const QByteArray &line)
{
    QByteArray folded;
    folded.reserve(line.size() + line.size() / 25);
    folded += line.left(75);
    for (qsizetype at = 75; at < line.size(); at += 74)
        folded += "\r\n " + line.mid(at, 74);
    return folded;
}

// `count` tasks, each under the one before (`chain`) or all under the first.
QByteArray Tasks(int count, bool chain)
{
    QByteArray text = Begin;
    for (int i = 0; i < count; ++i) {
        const QByteArray number = QByteArray::number(i);
        text += "BEGIN:VTODO\r\nUID:task-" + number + "\r\nSUMMARY:Task " + number + "\r\n";
        if (i > 0)
            text += "RELATED-TO;RELTYPE=PARENT:task-" + QByteArray::number(chain ? i - 1 : 0) + "\r\n";
        text += "END:VTODO\r\n";
    }
    return text + End;
}

struct Shape {
    QByteArray text;
    int tasks;
    qsizetype longest;  // the longest text a task holds
};

void CheckRead(const Shape &shape, const char *name)
{
    const std::optional<std::vector<TTaskInfo>> tasks = TasksFromIcs(shape.text);
    if (!tasks || int(tasks->size()) != shape.tasks)
        Fail(std::string(name) + ": read a different number of tasks");
    qsizetype longest = 0;
    for (const TTaskInfo &task : *tasks) {
        longest = std::max(longest, task.content.size());
        if (task.pid != RootPid && task.pid != tasks->front().tid)
            Fail(std::string(name) + ": a task is not under the top-level one");
    }
    if (longest != shape.longest)
        Fail(std::string(name) + ": a text was not read whole");
}

// Medians of reading and of importing the file.
std::pair<Times, Times> Measure(const Shape &shape, int repetitions, const QTemporaryDir &dir)
{
    static int measured = 0;
    ++measured;
    const QString name = dir.filePath(QStringLiteral("tasks.ics"));
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly) || file.write(shape.text) != shape.text.size() || !file.flush())
        Fail("cannot write the file");
    file.close();
    Times read, imported;
    for (int i = 0; i < repetitions; ++i) {
        read.add([&] { TasksFromIcs(shape.text); });
        const QString database = dir.filePath(QStringLiteral("qvData-%1-%2.qvb").arg(measured).arg(i));
        Connection connection;
        connection.open(database);
        TaskStore store(connection);
        imported.add([&] {
            if (!ImportIcsFile(name, store))
                Fail("import failed");
        });
        if (store.count() != shape.tasks)
            Fail("import stored a different number of tasks");
    }
    return {read, imported};
}

void PrintRow(const char *operation, const Times &ours, const char *baseline, const Times &base)
{
    std::printf("%-40s %9.1f %9.1f   %-40s %9.1f %9.1f %7.2fx\n", operation, Median(ours.wall), Median(ours.cpu),
                baseline, Median(base.wall), Median(base.cpu), Median(ours.cpu) / Median(base.cpu));
}

int Run(int count, int repetitions)
{
    QTemporaryDir dir;
    if (!dir.isValid())
        Fail("no temporary folder");
    const qsizetype bytes = qsizetype(count) * 1000;
    const QByteArray text = Text(bytes);
    const Shape longLine{OneTask("DESCRIPTION:" + text), 1, bytes};
    const Shape foldedLine{OneTask(Folded("DESCRIPTION:" + text)), 1, bytes};
    const Shape chain{Tasks(count, true), count, QByteArray::number(count - 1).size() + 5};
    const Shape flat{Tasks(count, false), count, chain.longest};
    CheckRead(longLine, "one long line");
    CheckRead(foldedLine, "the folded line");
    CheckRead(chain, "the chain");
    CheckRead(flat, "the tasks under the first");

    const auto [lineRead, lineImport] = Measure(longLine, repetitions, dir);
    const auto [foldedRead, foldedImport] = Measure(foldedLine, repetitions, dir);
    const auto [chainRead, chainImport] = Measure(chain, repetitions, dir);
    const auto [flatRead, flatImport] = Measure(flat, repetitions, dir);

    std::printf("quillpad-bench-ics: a %.1f MB line and a chain of %d tasks (%.1f MB), %d repetitions.\n"
                "Times are medians in ms, wall and CPU; the ratio is of the CPU times.\n\n",
                longLine.text.size() / 1e6, count, chain.text.size() / 1e6, repetitions);
    std::printf("%-40s %9s %9s   %-40s %9s %9s %8s\n", "operation", "wall", "CPU", "baseline", "wall", "CPU", "ratio");
    PrintRow("read one unfolded line", lineRead, "read the same text folded", foldedRead);
    PrintRow("import one unfolded line", lineImport, "import the same text folded", foldedImport);
    PrintRow("read a chain, each under the one before", chainRead, "read the same tasks under the first", flatRead);
    PrintRow("import the chain", chainImport, "import the same tasks under the first", flatImport);
    if (count >= 20000) {
        std::printf("\nGoal: the line and the chain each imported under 2 s: %s (line %.0f ms, chain %.0f ms)\n",
                    Median(lineImport.wall) < 2000 && Median(chainImport.wall) < 2000 ? "met" : "NOT met",
                    Median(lineImport.wall), Median(chainImport.wall));
    }
    std::printf("Peak RSS: %.1f MB\n", PeakRssKb() / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 20000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    if (count <= 1 || repetitions <= 0) {
        std::fprintf(stderr, "usage: %s [tasks] [repetitions]\n", argv[0]);
        return 2;
    }
    try {
        return Run(count, repetitions);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "quillpad-bench-ics: %s\n", error.what());
        return 1;
    }
}
