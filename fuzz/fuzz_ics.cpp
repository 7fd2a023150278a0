// libFuzzer target: any bytes as an iCalendar file another program wrote, read as
// `ics import` reads it. The counts must add up, the tasks must stand at two levels (a
// sub-task under a top-level task of the same file, never under itself), and the tasks,
// written by our own writer and read back, must come back whole: the same number, none
// skipped. What another program wrote may hold what our file cannot (a year after 3000),
// so the records are compared from the second time round: what our own file gave must
// come back from it as the same records.

#include "sync/IcsFile.h"

#include <QSet>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quillpad;

namespace {

[[noreturn]] void Fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz_ics: %s %s\n", what, qPrintable(detail));
    std::abort();
}

void CheckTwoLevels(const std::vector<TTaskInfo> &tasks)
{
    QSet<QString> topLevel;
    for (const TTaskInfo &task : tasks) {
        if (task.pid == RootPid)
            topLevel.insert(task.tid);
    }
    for (const TTaskInfo &task : tasks) {
        if (task.pid != RootPid && (task.pid == task.tid || !topLevel.contains(task.pid)))
            Fail("a sub-task not under a top-level task:", task.tid + QStringLiteral(" under ") + task.pid);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    IcsCounts counts;
    const std::optional<std::vector<TTaskInfo>> tasks =
        TasksFromIcs(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &counts);
    if (counts.skipped < 0 || counts.skipped > counts.found)
        Fail("counts that do not add up");
    if (!tasks)
        return 0;
    if (int(tasks->size()) != counts.found - counts.skipped)
        Fail("tasks read and counted differ");
    CheckTwoLevels(*tasks);

    const auto readBack = [](const std::vector<TTaskInfo> &written) {
        IcsCounts counts;
        std::optional<std::vector<TTaskInfo>> back = TasksFromIcs(TasksAsIcs(written), &counts);
        if (!back || back->size() != written.size() || counts.skipped != 0)
            Fail("our own file does not read back whole");
        return *back;
    };
    const std::vector<TTaskInfo> once = readBack(*tasks);
    const std::vector<TTaskInfo> twice = readBack(once);
    for (size_t i = 0; i < once.size(); ++i) {
        if (!(twice.at(i) == once.at(i)))
            Fail("a task changed on its way through our own file:", once.at(i).tid);
    }
    return 0;
}
