// libFuzzer target: any bytes as an interchange file, read into a task database by
// import or by restore (into an empty database, or over the rows an import of the same
// file left, answering the replace questions). Whatever the reading stored must back up
// into well-formed XML that restores into an empty database as the same rows (times to
// the second, as a backup keeps them): the program reads back whatever it writes.
//
// The first byte chooses the pass (its two low bits) and whether the rest is the file
// itself or the XML text inside it (bit 2), which is then packed by our own writer so
// that mutations reach the document and its records, not only the compressed stream.

#include "FuzzDatabase.h"

#include "interchange/Dm_Io.h"
#include "interchange/QvxContainer.h"
#include "store/Query.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace quillpad;

namespace {

struct State {
    fuzz::FuzzFolder folder;
    fuzz::Answers answers;
    Connection database;
    Connection copy;
    State() { Prompter::install(&answers); }
};

[[noreturn]] void Fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz_interchange: %s %s\n", what, qPrintable(detail));
    std::abort();
}

// Every row of both tables, each column as text; times as whole seconds.
QStringList Dump(Connection &connection)
{
    QStringList rows;
    Query query(connection);
    for (const char *sql : {"select * from memos order by mid", "select * from tasks order by tid"}) {
        query.open(QString::fromLatin1(sql), {});
        for (; !query.eof(); query.next()) {
            QStringList columns;
            for (int i = 0; i < query.fieldCount(); ++i) {
                const QString name = query.fieldNames().at(i);
                const Query::Field field = query.field(i);
                if (name.endsWith(QLatin1String("Time"), Qt::CaseInsensitive)) {
                    const qint64 ms = DateTimeToMs(field.asDateTime());
                    columns.append(QString::number(ms / 1000 - (ms % 1000 < 0 ? 1 : 0)));  // whole seconds, floored
                }
                else if (name == QLatin1String("expandFlag"))
                    columns.append(QString());  // a backup does not carry it
                else
                    columns.append(field.isNull() ? QStringLiteral("<null>") : field.asString());
            }
            rows.append(columns.join(QLatin1Char('|')));
        }
    }
    return rows;
}

void CheckWellFormed(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        Fail("backup not readable");
    QXmlStreamReader reader(ReadQvxContainer(file));
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        Fail("backup is not well-formed XML:", reader.errorString());
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    // The version the backup stamps is read through the application object.
    static QCoreApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static State state;
    if (size < 1)
        return 0;
    const int pass = data[0] & 3;
    const QString input = state.folder.file(QStringLiteral("input.qvx"));
    {
        QFile file(input);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            Fail("cannot write the input");
        const QByteArrayView rest(reinterpret_cast<const char *>(data + 1), static_cast<qsizetype>(size - 1));
        if (data[0] & 4)
            WriteQvxContainer(file, rest);
        else
            file.write(rest.data(), rest.size());
    }

    state.folder.openEmpty(state.database, QStringLiteral("qvData.qvb"));
    TIoDm io(state.database);
    switch (pass) {
    case 0:
        io.ImportDatabaseFrom(input);
        break;
    case 1:
        state.answers.answer = PromptButton::All;
        io.RestoreDatabaseFrom(input);
        break;
    default:
        // Over what an import left: every record's id is new, so the restore adds; then
        // once more, where every id is asked about.
        io.ImportDatabaseFrom(input);
        state.answers.answer = pass == 2 ? PromptButton::Yes : PromptButton::No;
        io.RestoreDatabaseFrom(input);
        io.RestoreDatabaseFrom(input);
        break;
    }

    const QString backup = state.folder.file(QStringLiteral("backup.qvx"));
    if (!io.BackupDatabaseTo(backup))
        Fail("backup failed");
    CheckWellFormed(backup);
    state.folder.openEmpty(state.copy, QStringLiteral("copy.qvb"));
    state.answers.answer = PromptButton::All;
    if (!TIoDm(state.copy).RestoreDatabaseFrom(backup))
        Fail("the backup does not restore");
    const QStringList stored = Dump(state.database);
    const QStringList restored = Dump(state.copy);
    if (stored != restored) {
        for (qsizetype i = 0; i < std::min(stored.size(), restored.size()); ++i) {
            if (stored.at(i) != restored.at(i))
                Fail("a row changed on its way through a backup:", stored.at(i) + QStringLiteral(" -> ") + restored.at(i));
        }
        Fail("rows lost on their way through a backup");
    }
    return 0;
}
