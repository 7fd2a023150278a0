#include "Dm_Io.h"

#include "AppError.h"
#include "Connection.h"
#include "QvxDocument.h"
#include "ReplaceQuestion.h"
#include "TaskInfo.h"
#include "pU_Funcs.h"
#include "pU_XmlTry.h"

#include <QFileInfo>
#include <QHash>

#include <cstring>
#include <deque>

#include <new>

namespace {

// One record of the file. Each attribute is read once, so a missing one is reported
// once even when the question and the row both want it.
class RecordReader {
public:
    RecordReader(Txmltry &xml, QString path) : m_xml(xml), m_path(std::move(path)) {}

    const QString &text(const char *name)
    {
        for (const auto &[read, value] : m_read) {
            if (std::strcmp(read, name) == 0)
                return value;
        }
        m_read.emplace_back(name, m_xml.ReadAttr(m_path, QLatin1String(name)));
        return m_read.back().second;
    }

private:
    Txmltry &m_xml;
    QString m_path;
    std::deque<std::pair<const char *, QString>> m_read;  // references stay valid
};

void SetBoolean(Query &query, QStringView column, const QString &text)
{
    const std::optional<bool> value = Qvx::ReadBoolean(text, column.toString());
    value ? query.field(column).setBoolean(*value) : query.field(column).setNull();
}

void SetInteger(Query &query, QStringView column, const QString &text)
{
    const std::optional<qint32> value = Qvx::ReadInteger(text, column.toString());
    value ? query.field(column).setInteger(*value) : query.field(column).setNull();
}

void SetTime(Query &query, QStringView column, const QString &text)
{
    query.field(column).setDateTime(Qvx::ReadTime(text));
}

// The columns after the id and the parent, in the order they are written.
void WriteTaskValues(Query &query, RecordReader &record)
{
    query.field(u"content").setString(Qvx::ReadContent(record.text("content")));
    SetBoolean(query, u"checkFlag", record.text("check-flag"));
    SetBoolean(query, u"alarmFlag", record.text("alarm-flag"));
    SetBoolean(query, u"dueFlag", record.text("due-flag"));
    SetInteger(query, u"textColor", record.text("text-color"));
    SetInteger(query, u"backgroundColor", record.text("background-color"));
    SetTime(query, u"createTime", record.text("create-time"));
    SetTime(query, u"editTime", record.text("edit-time"));
    SetTime(query, u"checkTime", record.text("check-time"));
    SetTime(query, u"alarmTime", record.text("alarm-time"));
    SetTime(query, u"dueTime", record.text("due-time"));
}

void WriteMemoValues(Query &query, RecordReader &record)
{
    query.field(u"content").setString(Qvx::ReadContent(record.text("content")));
    SetTime(query, u"assignTime", record.text("assign-time"));
    SetTime(query, u"createTime", record.text("create-time"));
    SetTime(query, u"editTime", record.text("edit-time"));
}

QString ErrorText(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError &e) {
        return e.message();
    } catch (const std::bad_alloc &) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unexpected error");
    }
}

// A name typed without an extension means the .qvx file.
QString WithQvxSuffix(const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo(fileName).suffix().isEmpty())
        return fileName;
    return fileName + QStringLiteral(".qvx");
}

}  // namespace

namespace {

struct RecordKind {
    QString section;  // the element whose children are the records
    QString step;     // the path step before the position
    QString table;
    const char *id;   // the id column, also the id attribute
    QString kind;     // as the replace question names it
    void (*writeValues)(Query &, RecordReader &);

    QString path(int i) const { return section + step + QString::number(i); }
};

const RecordKind Memos{Qvx::MemosPath, QStringLiteral(",memo#"), QStringLiteral("memos"), "mid",
                       QStringLiteral("memo"), &WriteMemoValues};
const RecordKind Tasks{Qvx::TasksPath, QStringLiteral(",task#"), QStringLiteral("tasks"), "tid",
                       QStringLiteral("task"), &WriteTaskValues};

// Groups the writes of a pass into transactions. A transaction is committed before the
// user is asked anything and at the end, also after an error: what was posted stays.
class WriteBatch {
public:
    explicit WriteBatch(Connection &connection) : m_connection(connection) { resume(); }
    ~WriteBatch()
    {
        if (m_open)
            m_connection.rollback();  // only when the last commit itself failed
    }
    WriteBatch(const WriteBatch &) = delete;
    WriteBatch &operator=(const WriteBatch &) = delete;

    void resume()
    {
        if (!m_open && !m_connection.inTransaction()) {
            m_connection.beginTransaction();
            m_open = true;
        }
    }
    void pause()
    {
        if (m_open) {
            m_open = false;
            m_connection.commit();
        }
    }

private:
    Connection &m_connection;
    bool m_open = false;
};

// False when the user chose Abort.
bool RestorePass(Query &query, const RecordKind &kind, Txmltry &xml, PromptButton &standing, WriteBatch &batch)
{
    const QString find = QStringLiteral("select * from %1 where %2=").arg(kind.table, QLatin1String(kind.id));
    const QString empty = QStringLiteral("select * from %1 where 0=1").arg(kind.table);
    const int count = xml.CountChildren(kind.section);
    for (int i = 0; i < count; ++i) {
        RecordReader record(xml, kind.path(i));
        const QString id = record.text(kind.id);
        OpenSql(query, find + QuoteSql(id));
        if (query.eof()) {
            OpenSql(query, empty);
            query.insert();
        } else {
            if (standing != PromptButton::All) {
                ReplaceQuestion question;
                question.kind = kind.kind;
                question.rowContent = query.field(u"content").asString();
                question.rowEditTime = query.field(u"editTime").asDateTime();
                question.fileContent = Qvx::ReadContent(record.text("content"));
                question.fileEditTime = Qvx::ReadTime(record.text("edit-time"));
                batch.pause();
                standing = AskReplace(question);
                batch.resume();
            }
            if (standing == PromptButton::Abort)
                return false;
            if (standing != PromptButton::Yes && standing != PromptButton::All)
                continue;  // No, or the window closed: this row stays as it is
            query.edit();
        }
        query.field(QString::fromLatin1(kind.id)).setString(id);
        query.field(u"pid").setString(record.text("pid"));
        kind.writeValues(query, record);
        query.post();
    }
    return true;
}

void ImportPass(Query &query, const RecordKind &kind, Txmltry &xml)
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
    OpenSql(query, QStringLiteral("select * from %1 where 0=1").arg(kind.table));
    const int count = xml.CountChildren(kind.section);
    for (int i = 0; i < count; ++i) {
        RecordReader record(xml, kind.path(i));
        query.insert();
        const QString pid = record.text("pid");
        if (pid == RootPid) {
            query.field(u"pid").setString(RootPid);
            query.field(QString::fromLatin1(kind.id)).setString(mapped(record.text(kind.id)));
        } else {
            query.field(u"pid").setString(mapped(pid));
            query.field(QString::fromLatin1(kind.id)).setString(NewGuid());
        }
        kind.writeValues(query, record);
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
    // Database errors here end the backup before any file is written.
    const pugi::xml_node memos = xml.NodeAt(Qvx::MemosPath);
    OpenSql(ADOQuery1, QStringLiteral("select * from memos"));
    for (; !ADOQuery1.eof(); ADOQuery1.next())
        Qvx::AppendElement(memos, "memo", Qvx::MemoRowAttributes(ADOQuery1));
    const pugi::xml_node tasks = xml.NodeAt(Qvx::TasksPath);
    OpenSql(ADOQuery1, QStringLiteral("select * from tasks"));
    for (; !ADOQuery1.eof(); ADOQuery1.next())
        Qvx::AppendElement(tasks, "task", Qvx::TaskRowAttributes(ADOQuery1));
    ADOQuery1.close();
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
        WriteBatch batch(m_connection);
        try {
            if (mode == Mode::Restore) {
                PromptButton standing = PromptButton::Yes;  // one for both passes
                if (RestorePass(ADOQuery1, Memos, xml, standing, batch))
                    RestorePass(ADOQuery1, Tasks, xml, standing, batch);
            } else {
                ImportPass(ADOQuery1, Memos, xml);
                ImportPass(ADOQuery1, Tasks, xml);
            }
        } catch (...) {
            error = std::current_exception();
        }
        ADOQuery1.close();  // drops a row in progress; the rows posted stay
        try {
            batch.pause();
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
        ErrorBox(ErrorText(error));
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
