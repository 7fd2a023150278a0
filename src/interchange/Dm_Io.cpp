#include "interchange/Dm_Io.h"

#include "store/AppError.h"
#include "store/Paths.h"
#include "store/Connection.h"
#include "interchange/QvxDocument.h"
#include "interchange/ReplaceQuestion.h"
#include "store/TaskStore.h"
#include "store/WriteBatch.h"
#include "store/pU_Funcs.h"
#include "interchange/pU_XmlTry.h"

#include <QFileInfo>
#include <QHash>

#include <array>
#include <cstring>
#include <vector>

#include <new>

namespace quillpad {

namespace {

// One record of the file. Each attribute is read once, so a missing one is reported
// once even when the question and the row both want it.
class RecordReader {
public:
    RecordReader(Txmltry &xml, QString path) : m_xml(xml), m_path(std::move(path)) {}

    const QString &text(const char *name)
    {
        for (int i = 0; i < m_count; ++i) {
            if (std::strcmp(m_names[i], name) == 0)
                return m_values[i];
        }
        Q_ASSERT(m_count < Capacity);
        m_names[m_count] = name;
        m_values[m_count] = m_xml.ReadAttr(m_path, QLatin1String(name));
        return m_values[m_count++];
    }

private:
    static constexpr int Capacity = 16;  // more than any record has
    Txmltry &m_xml;
    QString m_path;
    std::array<const char *, Capacity> m_names{};
    std::array<QString, Capacity> m_values;
    int m_count = 0;
};

enum class Codec { Text, Content, Boolean, Integer, Time };

struct Column {
    const char *attribute;
    const char *name;
    Codec codec;
};

// The columns of a record after its id, in the order they are written.
const std::vector<Column> TaskColumns{
    {"pid", "pid", Codec::Text},
    {"content", "content", Codec::Content},
    {"check-flag", "checkFlag", Codec::Boolean},
    {"alarm-flag", "alarmFlag", Codec::Boolean},
    {"due-flag", "dueFlag", Codec::Boolean},
    {"text-color", "textColor", Codec::Integer},
    {"background-color", "backgroundColor", Codec::Integer},
    {"create-time", "createTime", Codec::Time},
    {"edit-time", "editTime", Codec::Time},
    {"check-time", "checkTime", Codec::Time},
    {"alarm-time", "alarmTime", Codec::Time},
    {"due-time", "dueTime", Codec::Time},
};

const std::vector<Column> MemoColumns{
    {"pid", "pid", Codec::Text},
    {"content", "content", Codec::Content},
    {"assign-time", "assignTime", Codec::Time},
    {"create-time", "createTime", Codec::Time},
    {"edit-time", "editTime", Codec::Time},
};

struct RecordKind {
    QString section;  // the element whose children are the records
    QString step;     // the path step before the position
    TaskStore::Table table;
    const char *id;   // the id column, also the id attribute
    QString kind;     // as the replace question names it
    const std::vector<Column> &columns;

    QString path(int i) const { return section + step + QString::number(i); }
};

const RecordKind Memos{Qvx::MemosPath, QStringLiteral(",memo#"), TaskStore::Table::Memos, "mid",
                       QStringLiteral("memo"), MemoColumns};
const RecordKind Tasks{Qvx::TasksPath, QStringLiteral(",task#"), TaskStore::Table::Tasks, "tid",
                       QStringLiteral("task"), TaskColumns};

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
// An imported file may come from elsewhere: its texts' line breaks are made CR LF.
enum class Breaks { AsRead, CrLf };

void WriteValues(Query &query, const RecordKind &kind, const ColumnIndexes &at, RecordReader &record, int bias,
                 qsizetype first = 0, Breaks breaks = Breaks::AsRead)
{
    for (qsizetype i = first; i < qsizetype(kind.columns.size()); ++i) {
        const Column &column = kind.columns[i];
        const Query::Field field = query.field(at.columns[i]);
        const QString &text = record.text(column.attribute);
        switch (column.codec) {
        case Codec::Text:
            field.setString(text);
            break;
        case Codec::Content:
            // Made CR LF from the file's own text: a CR LF written as character references
            // must not become two breaks.
            field.setString(breaks == Breaks::CrLf ? CrLfLineBreaks(text) : Qvx::ReadContent(text));
            break;
        case Codec::Boolean:
            if (const std::optional<bool> value = Qvx::ReadBoolean(text, QLatin1String(column.name)))
                field.setBoolean(*value);
            else
                field.setNull();
            break;
        case Codec::Integer:
            if (const std::optional<qint32> value = Qvx::ReadInteger(text, QLatin1String(column.name)))
                field.setInteger(*value);
            else
                field.setNull();
            break;
        case Codec::Time:
            field.setDateTime(Qvx::ReadTime(text, bias));
            break;
        }
    }
}

// A name typed without an extension means the .qvx file, unless that name itself exists.
QString WithQvxSuffix(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty() || QFileInfo::exists(fileName))
        return fileName;
    return fileName + QStringLiteral(".qvx");
}

// Restores the records of one kind: a record whose id the table lacks is added; for one
// it has, the standing answer decides, asking while it is not All. False on Abort.
// `find` looks rows up and edits them; `insert` stays open on an empty result and
// takes the new rows.
bool RestorePass(Query &find, Query &insert, const RecordKind &kind, Txmltry &xml, int bias,
                 PromptButton &standing, WriteBatch &batch)
{
    TaskStore::openForInsert(insert, kind.table);
    const ColumnIndexes at(insert, kind);
    const int count = xml.CountChildren(kind.section);
    for (int i = 0; i < count; ++i) {
        RecordReader record(xml, kind.path(i));
        const QString id = record.text(kind.id);
        TaskStore::openRow(find, kind.table, id);
        Query *row = &find;
        if (find.eof()) {
            row = &insert;
            insert.insert();
        } else {
            if (standing != PromptButton::All) {
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
            if (standing == PromptButton::Abort)
                return false;
            if (standing != PromptButton::Yes && standing != PromptButton::All)
                continue;  // No, or the window closed: this row stays as it is
            find.edit();
        }
        row->field(at.id).setString(id);
        WriteValues(*row, kind, at, record, bias);
        row->post();
    }
    return true;
}

// Adds every record of one kind under a new id.
void ImportPass(Query &query, const RecordKind &kind, Txmltry &xml, int bias)
{
    // Old id -> new id, for the ids of top-level records (a record's own, or one named as
    // a parent before its record came). Exact comparison, as ids are stored.
    QHash<QString, QString> newIds;
    const auto mapped = [&newIds](const QString &oldId) {
        auto found = newIds.find(oldId);
        if (found == newIds.end())
            found = newIds.insert(oldId, NewGuid());
        return *found;
    };
    TaskStore::openForInsert(query, kind.table);
    const ColumnIndexes at(query, kind);
    const int pidColumn = at.columns.front();  // "pid" comes first
    const int count = xml.CountChildren(kind.section);
    for (int i = 0; i < count; ++i) {
        RecordReader record(xml, kind.path(i));
        query.insert();
        const QString pid = record.text("pid");
        if (pid == RootPid) {
            query.field(pidColumn).setString(RootPid);
            query.field(at.id).setString(mapped(record.text(kind.id)));
        } else {
            query.field(pidColumn).setString(mapped(pid));
            query.field(at.id).setString(NewGuid());
        }
        WriteValues(query, kind, at, record, bias, 1, Breaks::CrLf);
        query.post();
    }
}

}  // namespace

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
    Txmltry xml;
    Qvx::BeginDocument(xml);
    const int bias = LocalBias();
    // Database errors here end the backup before any file is written.
    const pugi::xml_node memos = xml.NodeAt(Qvx::MemosPath);
    TaskStore::openAllRows(ADOQuery1, TaskStore::Table::Memos);
    for (; !ADOQuery1.eof(); ADOQuery1.next())
        Qvx::AppendElement(memos, "memo", Qvx::MemoRowAttributes(ADOQuery1, bias));
    const pugi::xml_node tasks = xml.NodeAt(Qvx::TasksPath);
    TaskStore::openAllRows(ADOQuery1, TaskStore::Table::Tasks);
    for (; !ADOQuery1.eof(); ADOQuery1.next())
        Qvx::AppendElement(tasks, "task", Qvx::TaskRowAttributes(ADOQuery1, bias));
    ADOQuery1.close();
    if (Paths::IsOwnDataFile(fileName)) {
        ErrorBox(QStringLiteral("\"%1\" is the program's own task database or settings file. Choose another file.")
                     .arg(fileName));
        return false;
    }
    try {
        xml.SaveDocument(fileName, true);
    } catch (const AppError &) {
        ErrorBox(QStringLiteral("File write failure!"));
        return false;
    }
    return true;
}

bool TIoDm::ReadFile(const QString &fileName, Mode mode)
{
    Txmltry xml;
    try {
        xml.LoadDocument(fileName, true);
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
        Qvx::CheckApp(xml);
        // Committed before each question and at the end, also after an error: what was
        // posted stays.
        WriteBatch batch(m_connection, WriteBatch::Unfinished::RollBack);
        try {
            const int bias = LocalBias();
            if (mode == Mode::Restore) {
                Query insert(m_connection);
                PromptButton standing = PromptButton::Yes;  // one for both passes
                if (RestorePass(ADOQuery1, insert, Memos, xml, bias, standing, batch))
                    RestorePass(ADOQuery1, insert, Tasks, xml, bias, standing, batch);
            } else {
                ImportPass(ADOQuery1, Memos, xml, bias);
                ImportPass(ADOQuery1, Tasks, xml, bias);
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

bool TIoDm::RestoreDatabaseFrom(const QString &fileName)
{
    return ReadFile(fileName, Mode::Restore);
}

bool TIoDm::ImportDatabaseFrom(const QString &fileName)
{
    return ReadFile(fileName, Mode::Import);
}

}  // namespace quillpad
