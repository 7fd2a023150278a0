// Times backup, restore and import of a database of N tasks through an interchange file.
// Each figure stands beside a baseline measured in the same run: the backup beside
// compressing the same XML bytes with zlib at level 9, restore and import beside
// inserting the same rows in one SQLite transaction with one prepared statement.
// Usage: quillpad-bench-interchange [tasks] [repetitions]

#include "BenchData.h"
#include "BenchTiming.h"
#include "BenchXml.h"

#include "store/Connection.h"
#include "interchange/Dm_Io.h"
#include "store/Query.h"
#include "interchange/QvxContainer.h"
#include "store/TaskInfo.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>

#include <sqlite3.h>
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace quillpad;

using namespace BenchTiming;
using namespace BenchXml;

namespace {

// A fresh, empty database in its own folder, removed with it.
class EmptyDatabase {
public:
    EmptyDatabase()
    {
        if (!m_dir.isValid())
            Fail("no temporary folder");
        connection.open(m_dir.filePath(QStringLiteral("qvData.qvb")));
    }
    int count()
    {
        Query query(connection);
        OpenSql(query, QStringLiteral("select count(*) as cnt from tasks"));
        return query.field(u"cnt").asInteger();
    }

private:
    QTemporaryDir m_dir;

public:
    Connection connection;
};

struct Row {
    const char *operation;
    const char *baseline;
    double ours;
    double base;
};

void PrintRow(const Row &row)
{
    std::printf("%-34s %10.1f   %-44s %10.1f %7.2fx\n", row.operation, row.ours, row.baseline, row.base,
                row.ours / row.base);
}

int Run(int count, int repetitions)
{
    const long startRssKb = PeakRssKb();
    const std::vector<TTaskInfo> tasks = BenchData::MakeTasks(count);
    EmptyDatabase source;
    BenchData::InsertTasks(source.connection, tasks);
    const long sourceRssKb = PeakRssKb();

    QTemporaryDir files;
    const QString backup = files.filePath(QStringLiteral("backup.qvx"));
    std::vector<double> backupMs, zlibMs, restoreMs, importMs, rawMs, loadMs, inflateMs;
    QByteArray xml;
    long afterBackupRssKb = 0;
    for (int i = 0; i < repetitions; ++i) {
        backupMs.push_back(TimeMs([&] {
            if (!TIoDm(source.connection).BackupDatabaseTo(backup))
                Fail("backup failed");
        }));
        afterBackupRssKb = std::max(afterBackupRssKb, PeakRssKb());
        if (xml.isEmpty())
            xml = InflatedXml(backup);
        zlibMs.push_back(TimeMs([&] { CompressLevel9(xml); }));
    }
    const qint64 fileBytes = QFileInfo(backup).size();

    long readRssKb = 0;
    for (int i = 0; i < repetitions; ++i) {
        {
            EmptyDatabase target;
            restoreMs.push_back(TimeMs([&] {
                if (!TIoDm(target.connection).RestoreDatabaseFrom(backup))
                    Fail("restore failed");
            }));
            if (target.count() != count)
                Fail("restore stored a different number of tasks");
        }
        {
            EmptyDatabase target;
            importMs.push_back(TimeMs([&] {
                if (!TIoDm(target.connection).ImportDatabaseFrom(backup))
                    Fail("import failed");
            }));
            if (target.count() != count)
                Fail("import stored a different number of tasks");
        }
        {
            EmptyDatabase target;
            rawMs.push_back(TimeMs([&] { BenchData::InsertTasksRaw(target.connection, tasks); }));
        }
        loadMs.push_back(TimeMs([&] {
            Txmltry document;
            document.LoadDocument(backup, true);
        }));
        inflateMs.push_back(TimeMs([&] { InflatedXml(backup); }));
        readRssKb = std::max(readRssKb, PeakRssKb());
    }

    // A file whose header claims 2^62 bytes in front of a small stream.
    const QString bogus = files.filePath(QStringLiteral("bogus.qvx"));
    {
        QFile file(bogus);
        if (!file.open(QIODevice::WriteOnly))
            Fail("cannot write the bogus file");
        const qint64 claimed = qToLittleEndian(Q_INT64_C(1) << 62);
        file.write(reinterpret_cast<const char *>(&claimed), 8);
        QByteArray small(4096, 'x');
        uLongf size = compressBound(static_cast<uLong>(small.size()));
        QByteArray packed(static_cast<qsizetype>(size), Qt::Uninitialized);
        compress2(reinterpret_cast<Bytef *>(packed.data()), &size, reinterpret_cast<const Bytef *>(small.constData()),
                  static_cast<uLong>(small.size()), Z_BEST_COMPRESSION);
        file.write(packed.constData(), static_cast<qint64>(size));
    }
    const long beforeBogusKb = PeakRssKb();
    double bogusMs = 0;
    {
        EmptyDatabase target;
        bogusMs = TimeMs([&] {
            if (TIoDm(target.connection).RestoreDatabaseFrom(bogus))
                Fail("the bogus file was accepted");
        });
    }
    const long afterBogusKb = PeakRssKb();

    int topLevel = 0;
    for (const TTaskInfo &task : tasks)
        topLevel += task.pid == RootPid;
    std::printf("quillpad-bench-interchange: %d tasks (%d top-level, %d sub-tasks), %d repetitions, "
                "zlib %s, SQLite %s\n",
                count, topLevel, count - topLevel, repetitions, zlibVersion(), sqlite3_libversion());
    std::printf("XML %.1f MB, file %.1f MB. Times are medians in ms.\n\n", xml.size() / 1e6, fileBytes / 1e6);
    std::printf("%-34s %10s   %-44s %10s %8s\n", "operation", "ours", "baseline", "ms", "ratio");
    PrintRow({"backup (read, build XML, write)", "zlib level 9 of the same XML bytes", Median(backupMs),
              Median(zlibMs)});
    PrintRow({"restore into an empty database", "the same rows in one SQLite transaction", Median(restoreMs),
              Median(rawMs)});
    PrintRow({"import into an empty database", "the same rows in one SQLite transaction", Median(importMs),
              Median(rawMs)});
    PrintRow({"  of which: load and parse the file", "inflate the file only", Median(loadMs), Median(inflateMs)});
    std::printf("\nGoals: backup within 1.5x of zlib: %s; restore under 3 s: %s; import under 3 s: %s\n",
                Median(backupMs) <= 1.5 * Median(zlibMs) ? "met" : "NOT met",
                Median(restoreMs) < 3000 ? "met" : "NOT met", Median(importMs) < 3000 ? "met" : "NOT met");
    std::printf("\nPeak RSS: %.1f MB at start, %.1f MB with the task list and its database, %.1f MB after "
                "the backups, %.1f MB after the restores and imports\n",
                startRssKb / 1024.0, sourceRssKb / 1024.0, afterBackupRssKb / 1024.0, readRssKb / 1024.0);
    std::printf("A file whose header claims 2^62 bytes: refused in %.2f ms, peak RSS %.1f MB -> %.1f MB\n", bogusMs,
                beforeBogusKb / 1024.0, afterBogusKb / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int repetitions = argc > 2 ? std::atoi(argv[2]) : 3;
    if (count <= 0 || repetitions <= 0) {
        std::fprintf(stderr, "usage: %s [tasks] [repetitions]\n", argv[0]);
        return 2;
    }
    try {
        return Run(count, repetitions);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "quillpad-bench-interchange: %s\n", error.what());
        return 1;
    }
}
