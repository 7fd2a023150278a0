// Times the command-line companion as a user runs it: each command a process of its own,
// with its wall time and peak resident memory, beside a baseline measured in the same
// run. list --json beside the sqlite3 shell's "select * from tasks" of the same file, the
// table of list beside list --json, done of one task (named by its first eight digits)
// beside the sqlite3 shell's update of that row,
// backup beside zlib level 9 of the same XML bytes (in this process), import and restore
// into an empty database beside the same rows inserted with one prepared statement in one
// transaction (in this process).
// Usage: quillpad-bench-cli [tasks] [repetitions] [data folder]; quillpad-cli is looked
// for beside this program. With a data folder the database and the backup stay there
// for profiling the commands (QUILLPAD_HOME=<folder> quillpad-cli list --json).

#include "BenchData.h"
#include "BenchTiming.h"
#include "BenchXml.h"

#include "interchange/QvxContainer.h"
#include "store/Connection.h"
#include "store/Query.h"
#include "store/TaskInfo.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quillpad;
using namespace BenchTiming;
using namespace BenchXml;

namespace {

struct ChildRun {
    double ms = 0;
    double cpuMs = 0;  // user and system
    long peakRssKb = 0;
};

double CpuMs(const timeval &user, const timeval &system)
{
    return (user.tv_sec + system.tv_sec) * 1e3 + (user.tv_usec + system.tv_usec) / 1e3;
}

// The work's wall and CPU time in this process.
ChildRun TimeHere(const std::function<void()> &work)
{
    timespec before{}, after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    ChildRun run;
    run.ms = TimeMs(work);
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    run.cpuMs = (after.tv_sec - before.tv_sec) * 1e3 + (after.tv_nsec - before.tv_nsec) / 1e6;
    return run;
}

// A child's peak RSS counts the pages it shared with its parent when it was forked, so
// commands are started by a small process forked before this one grows: it takes a
// request on a pipe, runs the command with QUILLPAD_HOME set and its output to a file
// (or nowhere), and answers with its times, peak RSS and exit status.
class Launcher {
public:
    struct Answer {
        ChildRun run;
        int status = -1;
    };

    Launcher()
    {
        if (pipe(m_request) != 0 || pipe(m_answer) != 0)
            Fail("pipe");
        m_pid = fork();
        if (m_pid < 0)
            Fail("fork");
        if (m_pid == 0) {
            close(m_request[1]);
            close(m_answer[0]);
            serve();
            _exit(0);
        }
        close(m_request[0]);
        close(m_answer[1]);
    }
    ~Launcher()
    {
        close(m_request[1]);  // the launcher ends at the end of its input
        close(m_answer[0]);
        waitpid(m_pid, nullptr, 0);
    }

    // fields: the data folder, the output file, then the program and its arguments.
    Answer run(const std::vector<std::string> &fields)
    {
        std::string request;
        for (const std::string &field : fields)
            request += field + '\0';
        request += '\0';
        if (write(m_request[1], request.data(), request.size()) != ssize_t(request.size()))
            Fail("launcher request");
        Answer answer;
        if (read(m_answer[0], &answer, sizeof answer) != ssize_t(sizeof answer))
            Fail("launcher answer");
        return answer;
    }

private:
    void serve()
    {
        std::string pending;
        char buffer[4096];
        for (;;) {
            const size_t end = pending.find(std::string(1, '\0') + '\0');
            if (end == std::string::npos) {
                const ssize_t got = read(m_request[0], buffer, sizeof buffer);
                if (got <= 0)
                    return;
                pending.append(buffer, size_t(got));
                continue;
            }
            std::vector<std::string> fields;
            for (size_t at = 0; at <= end;) {
                const size_t next = pending.find('\0', at);
                fields.push_back(pending.substr(at, next - at));
                at = next + 1;
            }
            pending.erase(0, end + 2);
            const Answer answer = launch(fields);
            if (write(m_answer[1], &answer, sizeof answer) != ssize_t(sizeof answer))
                return;
        }
    }

    static Answer launch(const std::vector<std::string> &fields)
    {
        std::vector<char *> argv;
        for (size_t i = 2; i < fields.size(); ++i)
            argv.push_back(const_cast<char *>(fields[i].c_str()));
        argv.push_back(nullptr);
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            setenv("QUILLPAD_HOME", fields[0].c_str(), 1);
            const int out = open(fields[1].c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (out >= 0)
                dup2(out, STDOUT_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        Answer answer;
        rusage usage{};
        if (pid < 0 || wait4(pid, &answer.status, 0, &usage) != pid)
            return answer;
        answer.run.ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        answer.run.peakRssKb = usage.ru_maxrss;
        answer.run.cpuMs = CpuMs(usage.ru_utime, usage.ru_stime);
        return answer;
    }

    int m_request[2]{};
    int m_answer[2]{};
    pid_t m_pid = -1;
};

Launcher *TheLauncher = nullptr;

// Runs the program and gives its wall and CPU time and its peak RSS. Fails unless it
// exits with 0.
ChildRun RunChild(const std::vector<std::string> &arguments, const QString &home, const char *output = "/dev/null")
{
    std::vector<std::string> fields{QFile::encodeName(home).toStdString(), output};
    fields.insert(fields.end(), arguments.begin(), arguments.end());
    const Launcher::Answer answer = TheLauncher->run(fields);
    if (!WIFEXITED(answer.status) || WEXITSTATUS(answer.status) != 0)
        Fail(arguments.front() + " " + arguments.at(1) + " failed");
    return answer.run;
}

struct Series {
    std::vector<double> ms, cpuMs;
    long peakRssKb = 0;
    void add(const ChildRun &run)
    {
        ms.push_back(run.ms);
        cpuMs.push_back(run.cpuMs);
        peakRssKb = std::max(peakRssKb, run.peakRssKb);
    }
};

void PrintRow(const char *operation, const Series &ours, const char *baseline, const Series &base)
{
    const auto memory = [](long kb) { return kb ? std::to_string(kb / 1024) + " MB" : std::string("-"); };
    std::printf("%-24s %8.0f %8.0f %7s   %-40s %8.0f %8.0f %7s %6.2fx %6.2fx\n", operation, Median(ours.ms),
                Median(ours.cpuMs), memory(ours.peakRssKb).c_str(), baseline, Median(base.ms), Median(base.cpuMs),
                memory(base.peakRssKb).c_str(), Median(ours.ms) / Median(base.ms), Median(ours.cpuMs) / Median(base.cpuMs));
}

int Run(int count, int repetitions, const QString &keep)
{
    const std::string cli = (QCoreApplication::applicationDirPath() + QStringLiteral("/quillpad-cli")).toStdString();
    if (!QFileInfo(QString::fromStdString(cli)).isExecutable())
        Fail(cli + " is not built");
    QTemporaryDir source, files;
    if (!source.isValid() || !files.isValid())
        Fail("no temporary folder");
    const std::vector<TTaskInfo> tasks = BenchData::MakeTasks(count);
    const QDir sourceDir(keep.isEmpty() ? source.path() : keep);
    if (!keep.isEmpty() && !QDir().mkpath(keep))
        Fail("cannot make " + keep.toStdString());
    const QString database = sourceDir.filePath(QStringLiteral("qvData.qvb"));
    QFile::remove(database);
    {
        Connection connection;
        connection.open(database);
        BenchData::InsertTasks(connection, tasks);
    }
    const std::string backup =
        (keep.isEmpty() ? files.filePath(QStringLiteral("backup.qvx")) : sourceDir.filePath(QStringLiteral("backup.qvx")))
            .toStdString();

    std::string tid;
    {
        Connection connection;
        connection.open(database);
        Query query(connection);
        query.open(QStringLiteral("select tid from tasks where checkFlag=0 and pid='root' limit 1"), {});
        tid = query.field(u"tid").asString().toStdString();
    }
    const std::string shortId = tid.substr(1, 8);
    const std::string update = "update tasks set checkFlag=1, checkTime=45000.5 where tid='" + tid + "'";

    Series list, table, select, done, sqliteUpdate, backups, zlib, imports, restores, raw;
    QByteArray xml;
    for (int i = 0; i < repetitions; ++i) {
        list.add(RunChild({cli, "list", "--json"}, sourceDir.path()));
        table.add(RunChild({cli, "list"}, sourceDir.path()));
        select.add(RunChild({"/usr/bin/sqlite3", database.toStdString(), "select * from tasks"}, sourceDir.path()));
        done.add(RunChild({cli, "done", shortId}, sourceDir.path()));
        RunChild({cli, "undone", shortId}, sourceDir.path());
        sqliteUpdate.add(RunChild({"/usr/bin/sqlite3", database.toStdString(), update}, sourceDir.path()));
        RunChild({cli, "undone", shortId}, sourceDir.path());
        backups.add(RunChild({cli, "backup", backup}, sourceDir.path()));
        if (xml.isEmpty())
            xml = InflatedXml(QString::fromStdString(backup));
        zlib.add(TimeHere([&] { CompressLevel9(xml); }));
        {
            QTemporaryDir target;
            imports.add(RunChild({cli, "import", backup}, target.path()));
        }
        {
            QTemporaryDir target;
            restores.add(RunChild({cli, "restore", backup}, target.path()));
        }
        {
            QTemporaryDir target;
            Connection connection;
            connection.open(target.filePath(QStringLiteral("qvData.qvb")));
            raw.add(TimeHere([&] { BenchData::InsertTasksRaw(connection, tasks); }));
        }
    }
    std::printf("quillpad-bench-cli: %d tasks, %d repetitions, zlib %s, SQLite %s; XML %.1f MB, file %.1f MB\n",
                count, repetitions, zlibVersion(), sqlite3_libversion(), xml.size() / 1e6,
                QFileInfo(QString::fromStdString(backup)).size() / 1e6);
    std::printf("Medians in ms of whole processes, wall and CPU (user + system); memory is the peak RSS of the\n"
                "process (the in-memory baselines run in this one, their RSS is not shown). Ratios: wall, CPU.\n\n");
    std::printf("%-24s %8s %8s %7s   %-40s %8s %8s %7s %7s %7s\n", "command", "wall", "CPU", "RSS", "baseline", "wall",
                "CPU", "RSS", "ratio", "CPU");
    PrintRow("list --json", list, "sqlite3 \"select * from tasks\"", select);
    PrintRow("list (table)", table, "list --json", list);
    PrintRow("done TID (8 digits)", done, "sqlite3 update of the row", sqliteUpdate);
    PrintRow("backup", backups, "zlib level 9 of the same XML (in memory)", zlib);
    PrintRow("import (empty database)", imports, "the same rows, one transaction", raw);
    PrintRow("restore (empty database)", restores, "the same rows, one transaction", raw);
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    Launcher launcher;  // before anything grows
    TheLauncher = &launcher;
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 5;
    if (count <= 0 || repetitions <= 0) {
        std::fprintf(stderr, "usage: %s [tasks] [repetitions]\n", argv[0]);
        return 2;
    }
    try {
        return Run(count, repetitions, argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString());
    } catch (const std::exception &error) {
        std::fprintf(stderr, "quillpad-bench-cli: %s\n", error.what());
        return 1;
    }
}
