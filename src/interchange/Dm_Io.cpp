#include "interchange/Dm_Io.h"

#include "store/AppError.h"
#include "store/Paths.h"
#include "store/Connection.h"
#include "interchange/QvxDocument.h"
#include "interchange/QvxRecords.h"
#include "interchange/QvxStream.h"
#include "interchange/QvxTaskRows.h"
#include "interchange/QvxWriter.h"
#include "interchange/ReplaceQuestion.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

#include <QFileInfo>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <array>
#include <cstring>
#include <vector>

#include <limits>
#include <new>

namespace quillpad {

namespace {

using RecordAttributes = QvxAttributes;

// Where the records come from: the file read as it is inflated, or its document when
// it is not in the common form.
struct RecordSource {
    QString fileName;
    QvxStream::Survey survey;
    Txmltry document;
    bool whole = false;  // read as a document
    // A reading done again goes no further than the first one went, and what it would
    // report was reported then.
    int memoLimit = std::numeric_limits<int>::max();
    std::vector<QString> *held = nullptr;
};

// Hands each record of the kind's section to visit(RecordReader &), in document order,
// until it answers false.
template <typename Visit>
void ForEachRecord(RecordSource &source, const RecordKind &kind, Visit &&visit)
{
    if (!source.whole) {
        if (kind.table == TaskStore::Table::Memos) {
            const int count = std::min(int(source.survey.memos.size()), source.memoLimit);
            for (int position = 0; position < count; ++position) {
                const RecordAttributes attributes = source.survey.memos[position].view();
                RecordReader record(attributes, kind, position, source.held);
                if (!visit(record))
                    return;
            }
        } else {
            QvxStream::forEachTask(source.fileName, [&](const RecordAttributes &attributes, int position) {
                RecordReader record(attributes, kind, position);
                return visit(record);
            });
        }
        return;
    }
    const pugi::xml_node section = source.document.NodeAt(kind.section);
    RecordAttributes attributes;
    int position = 0;
    for (pugi::xml_node node = section.first_child(); node; node = node.next_sibling(), ++position) {
        attributes.clear();
        for (const pugi::xml_attribute &attribute : node.attributes())
            attributes.emplace_back(QByteArrayView(attribute.name()), QByteArrayView(attribute.value()));
        RecordReader record(attributes, kind, position);
        if (!visit(record))
            return;
    }
}

// Where the id and the other columns sit in a result of whole rows; the same
// for every such result, so looked up once per pass.
struct ColumnIndexes {
    ColumnIndexes(Query &query, const RecordKind &kind) : id(query.fieldIndex(QString::fromLatin1(kind.id)))
    {
        for (const Column &column : kind.columns)
            columns.push_back(query.fieldIndex(QString::fromLatin1(column.name)));
    }
    int id;
    std::vector<int> columns;
};

// Decodes the record's values into the row being edited or inserted, column by column
// in writing order, so a conversion error names the first bad value.
void WriteValues(Query &query, const RecordKind &kind, const ColumnIndexes &at, RecordReader &record, int bias,
                 qsizetype first = 0, Breaks breaks = Breaks::AsRead)
{
    for (qsizetype i = first; i < qsizetype(kind.columns.size()); ++i)
        query.field(at.columns[i]).setValue(DecodeValue(kind.columns[i], record, bias, breaks));
}

// A name typed without an extension means the .qvx file, unless that name itself exists.
QString WithQvxSuffix(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty() || QFileInfo::exists(fileName))
        return fileName;
    return fileName + QStringLiteral(".qvx");
}

// Whether the stored row already holds what the record would write. A value the record
// cannot give counts as different: writing it then reports the fault.
bool HoldsRecord(Query &row, const RecordKind &kind, const ColumnIndexes &at, RecordReader &record, int bias)
{
    constexpr double HalfMillisecond = 0.5 / 86400000.0;  // times travel to the millisecond, in days
    for (std::size_t i = 0; i < kind.columns.size(); ++i) {
        Query::Value value;
        try {
            value = DecodeValue(kind.columns[i], record, bias, Breaks::AsRead);
        } catch (...) {
            return false;
        }
        const Query::Value &stored = row.field(at.columns[i]).value();
        if (kind.columns[i].codec == Codec::Time && std::holds_alternative<double>(value) &&
            std::holds_alternative<double>(stored)) {
            if (std::abs(std::get<double>(value) - std::get<double>(stored)) > HalfMillisecond)
                return false;
        } else if (value != stored) {
            return false;
        }
    }
    return true;
}

// Restores the records of one kind: a record whose id the table lacks is added; one the
// table holds as it is stays without a question; for any other the standing answer
// decides, asking while it is neither All nor No to All. False on Abort.
// `find` looks rows up and edits them; `insert` stays open on an empty result and
// takes the new rows.
bool RestorePass(Query &find, Query &insert, const RecordKind &kind, RecordSource &xml, int bias,
                 PromptButton &standing, WriteBatch &batch, TIoDm::Outcome &outcome)
{
    const bool tasks = kind.table == TaskStore::Table::Tasks;
    TaskStore::openForInsert(insert, kind.table);
    const ColumnIndexes at(insert, kind);
    bool aborted = false;
    ForEachRecord(xml, kind, [&](RecordReader &record) {
        const QString id = record.text(kind.id);
        TaskStore::openRow(find, kind.table, id);
        Query *row = &find;
        if (find.eof()) {
            row = &insert;
            insert.insert();
            outcome.added += tasks;
        } else {
            // `find` and `insert` read the same whole rows: one set of column indexes serves both.
            if (HoldsRecord(find, kind, at, record, bias)) {
                outcome.kept += tasks;
                return true;
            }
            if (standing != PromptButton::All && standing != PromptButton::NoToAll) {
                ReplaceQuestion question;
                question.kind = kind.kind;
                question.rowContent = find.field(u"content").asString();
                question.rowEditTime = find.field(u"editTime").asDateTime();
                question.fileContent = Qvx::ReadContent(record.text("content"));
                question.fileEditTime = Qvx::ReadTime(record.text("edit-time"), bias);
                batch.commit();  // nothing stays locked while the question waits
                standing = AskReplace(question);
                batch.begin();
            }
            if (standing == PromptButton::Abort) {
                aborted = true;
                return false;
            }
            if (standing != PromptButton::Yes && standing != PromptButton::All) {
                outcome.kept += tasks;  // No, No to All, or the window closed: the row stays as it is
                return true;
            }
            outcome.replaced += tasks;
            find.edit();
        }
        row->field(at.id).setString(id);
        WriteValues(*row, kind, at, record, bias);
        row->post();
        return true;
    });
    return !aborted;
}

// Adds every record of one kind under a new id.
void ImportPass(Query &query, const RecordKind &kind, RecordSource &xml, int bias, TIoDm::Outcome &outcome)
{
    const bool tasks = kind.table == TaskStore::Table::Tasks;
    NewIds newIds;
    TaskStore::openForInsert(query, kind.table);
    const ColumnIndexes at(query, kind);
    const int pidColumn = at.columns.front();  // "pid" comes first
    ForEachRecord(xml, kind, [&](RecordReader &record) {
        query.insert();
        const NewIds::Ids ids = newIds.of(record, kind);
        query.field(pidColumn).setString(ids.pid);
        query.field(at.id).setString(ids.id);
        WriteValues(query, kind, at, record, bias, 1, Breaks::CrLf);
        query.post();
        outcome.added += tasks;
        return true;
    });
}

// Whether two of the records carry the same id, as the record reader reads ids (one
// without an id reads as empty). Reports nothing: the pass does.
bool RepeatsAnId(const std::vector<QvxStream::Record> &records)
{
    QSet<QString> seen;
    for (int position = 0; position < int(records.size()); ++position) {
        const RecordAttributes attributes = records[position].view();
        std::vector<QString> unshown;
        RecordReader record(attributes, MemoRecords, position, &unshown);
        const QString &id = record.text(MemoRecords.id);
        if (seen.contains(id))
            return true;
        seen.insert(id);
    }
    return false;
}

}  // namespace

TIoDm::Streamed TIoDm::WriteInOneReading(const QString &fileName, Mode mode)
{
    // The file is read beside the writing, so whether it is in the common form is known
    // only at the end: until then everything stays in one transaction, dropped when the
    // file has to be read as a document after all. Errors and the reports of missing
    // attributes wait for the end for the same reason, and then come in the order a
    // reading before the writing gives them: a damaged container, the "app" check, the
    // memos' reports and error, the tasks' reports and error. A file of another
    // program's is only seen to be so at first: no row of it is written.
    // A restore here starts from an empty database, so it has nothing to ask. A task
    // whose id is taken by then sends the work back to the reading before the writing:
    // a restore asks there, an import fails there as it does.
    const int bias = LocalBias();
    const QvxTaskRows::Ids ids = mode == Mode::Restore ? QvxTaskRows::Ids::Kept : QvxTaskRows::Ids::New;
    QvxTaskRows tasks(fileName, bias, ids);
    const BulkCache cache(m_connection);
    WriteBatch batch(m_connection, WriteBatch::Unfinished::RollBack);
    std::exception_ptr taskError;
    std::vector<QString> taskReports;
    const QStringList columns = QvxTaskRows::columns();
    const QByteArray ourApp = Qvx::AppName.toUtf8();
    while (std::optional<QvxTaskRows::Batch> rows = tasks.next()) {
        if (tasks.app() != ourApp) {
            tasks.stopRows();
            break;
        }
        taskReports.insert(taskReports.end(), rows->absent.begin(), rows->absent.end());
        try {
            if (TaskStore::insertEachIfNew(ADOQuery1, TaskStore::Table::Tasks, columns, rows->rows) !=
                int(rows->rows.size()))
                return Streamed::ReadAgain;  // an id that is there already
            m_outcome.added += int(rows->rows.size());
            if (rows->error)
                std::rethrow_exception(rows->error);
            tasks.giveBack(std::move(*rows));
        } catch (...) {
            taskError = std::current_exception();
            tasks.stopRows();
            break;
        }
    }
    ADOQuery1.close();

    RecordSource memos;
    memos.fileName = fileName;
    try {
        memos.survey = tasks.finish();
    } catch (...) {
        ErrorBox(QStringLiteral("File read failure!"));
        return Streamed::Failed;
    }
    if (!memos.survey.inForm)
        return Streamed::ReadAgain;
    try {
        Qvx::CheckApp(memos.survey.app);
    } catch (...) {
        ErrorBox(ExceptionText(std::current_exception()));
        return Streamed::Failed;
    }

    if (mode == Mode::Restore && RepeatsAnId(memos.survey.memos))
        return Streamed::ReadAgain;
    Query insert(m_connection);
    const auto writeMemos = [&] {
        PromptButton standing = PromptButton::Yes;  // never asked: no memo is there yet
        if (mode == Mode::Restore)
            RestorePass(ADOQuery1, insert, MemoRecords, memos, bias, standing, batch, m_outcome);
        else
            ImportPass(ADOQuery1, MemoRecords, memos, bias, m_outcome);
    };
    std::exception_ptr error;
    const qint64 changesBefore = m_connection.totalChanges();
    try {
        writeMemos();
    } catch (...) {
        // Memos go before tasks: a memo the file cannot give leaves no task behind, only
        // the memos before it, written again.
        error = std::current_exception();
        const auto written = static_cast<int>(m_connection.totalChanges() - changesBefore);
        ADOQuery1.close();
        batch.rollBack();
        batch.begin();
        std::vector<QString> reported;
        memos.memoLimit = written;
        memos.held = &reported;
        try {
            writeMemos();
        } catch (...) {
            // the first error is the one the user is told about
        }
    }
    ADOQuery1.close();
    insert.close();
    if (!error) {
        for (const QString &report : taskReports)
            ErrorBox(report);
        error = taskError;
    }
    try {
        batch.commit();
    } catch (...) {
        if (!error)
            error = std::current_exception();
    }
    if (error) {
        ErrorBox(ExceptionText(error));
        return Streamed::Failed;
    }
    return Streamed::Done;
}

TIoDm::TIoDm(Connection &connection) : m_connection(connection), ADOQuery1(connection) {}

FileRequest TIoDm::OpenRequest()
{
    FileRequest request;
    request.filter = QStringLiteral("Ambrel Database, (*.qvx)");
    request.defaultSuffix = QStringLiteral("qvx");
    return request;
}

FileRequest TIoDm::SaveRequest()
{
    FileRequest request;
    request.fileName = DatedFileName(QStringLiteral(".qvx"));
    request.filter = QStringLiteral("Ambrel Database,  (*.qvx)");
    request.defaultSuffix = QStringLiteral("qvx");
    return request;
}

bool TIoDm::BackupDatabase()
{
    const QString fileName = WithQvxSuffix(Prompter::instance().saveFileName(SaveRequest()));
    return !fileName.isEmpty() && BackupDatabaseTo(fileName);
}

bool TIoDm::RestoreDatabase()
{
    const QString fileName = WithQvxSuffix(Prompter::instance().openFileName(OpenRequest()));
    return !fileName.isEmpty() && RestoreDatabaseFrom(fileName);
}

bool TIoDm::ImportDatabase()
{
    const QString fileName = WithQvxSuffix(Prompter::instance().openFileName(OpenRequest()));
    return !fileName.isEmpty() && ImportDatabaseFrom(fileName);
}

bool TIoDm::BackupDatabaseTo(const QString &fileName)
{
    // Written as the rows are read. A database error ends the backup with the file
    // left as it was; a file that cannot be written is reported once all is read.
    QvxWriter file(fileName);
    const int bias = LocalBias();
    file.beginSection(QvxWriter::Section::Tasks);
    TaskStore::openAllRows(ADOQuery1, TaskStore::Table::Tasks);
    Qvx::WriteTaskRows(file, ADOQuery1, bias);
    file.beginSection(QvxWriter::Section::Memos);
    TaskStore::openAllRows(ADOQuery1, TaskStore::Table::Memos);
    Qvx::WriteMemoRows(file, ADOQuery1, bias);
    ADOQuery1.close();
    if (Paths::IsOwnDataFile(fileName)) {
        ErrorBox(QStringLiteral("\"%1\" is the program's own task database or settings file. Choose another file.")
                     .arg(fileName));
        return false;
    }
    if (!file.finish()) {
        ErrorBox(QStringLiteral("File write failure!"));
        return false;
    }
    return true;
}

bool TIoDm::ReadFile(const QString &fileName, Mode mode)
{
    // Read as it is inflated when the file is in the common form; otherwise as a
    // document, which takes or refuses the rest as it always has.
    // Written as it is read when nothing can need a question first.
    m_outcome = {};
    m_restored = mode == Mode::Restore;
    if (!m_connection.inTransaction()) {
        Streamed streamed = Streamed::ReadAgain;
        try {
            if (mode == Mode::Import || TaskStore(m_connection).holdsNothing())
                streamed = WriteInOneReading(fileName, mode);
        } catch (...) {
            ErrorBox(ExceptionText(std::current_exception()));
            return false;
        }
        if (streamed != Streamed::ReadAgain)
            return streamed == Streamed::Done;
        m_outcome = {};  // nothing of that reading stayed
    }

    RecordSource xml;
    xml.fileName = fileName;
    try {
        xml.survey = QvxStream::survey(fileName);
        xml.whole = !xml.survey.inForm;
        if (xml.whole)
            xml.document.LoadDocument(fileName, true);
    } catch (const AppError &) {
        ErrorBox(QStringLiteral("File read failure!"));
        return false;
    } catch (const std::bad_alloc &) {
        // a document too large for memory is as unreadable as a damaged one
        ErrorBox(QStringLiteral("File read failure!"));
        return false;
    }

    std::exception_ptr error;
    try {
        if (xml.whole)
            Qvx::CheckApp(xml.document);
        else
            Qvx::CheckApp(xml.survey.app);
        // Committed before each question and at the end, also after an error: what was
        // posted stays.
        const BulkCache cache(m_connection);
        WriteBatch batch(m_connection, WriteBatch::Unfinished::RollBack);
        try {
            const int bias = LocalBias();
            if (mode == Mode::Restore) {
                Query insert(m_connection);
                PromptButton standing = PromptButton::Yes;  // one for both passes
                if (RestorePass(ADOQuery1, insert, MemoRecords, xml, bias, standing, batch, m_outcome))
                    RestorePass(ADOQuery1, insert, TaskRecords, xml, bias, standing, batch, m_outcome);
            } else {
                ImportPass(ADOQuery1, MemoRecords, xml, bias, m_outcome);
                ImportPass(ADOQuery1, TaskRecords, xml, bias, m_outcome);
            }
        } catch (...) {
            error = std::current_exception();
        }
        ADOQuery1.close();  // drops a row in progress; the rows posted stay
        try {
            batch.commit();
        } catch (...) {
            if (!error)
                throw;
            // the error that stopped the pass is the one to show
        }
    } catch (...) {
        error = std::current_exception();
    }
    ADOQuery1.close();
    if (error) {
        ErrorBox(ExceptionText(error));
        return false;
    }
    return true;
}

QString TIoDm::outcomeText() const
{
    QString text = (m_restored ? QStringLiteral("Restored: ") : QStringLiteral("Imported: ")) +
                   Counted(m_outcome.added, "task", "tasks") + QStringLiteral(" added");
    if (m_restored)
        text += QStringLiteral(", %1 replaced, %2 kept as they were").arg(m_outcome.replaced).arg(m_outcome.kept);
    return text + QLatin1Char('.');
}

bool TIoDm::RestoreDatabaseFrom(const QString &fileName)
{
    return ReadFile(fileName, Mode::Restore);
}

bool TIoDm::ImportDatabaseFrom(const QString &fileName)
{
    return ReadFile(fileName, Mode::Import);
}

}  // namespace quillpad
