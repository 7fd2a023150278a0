#pragma once
// The interchange document inside a .qvx file: the template every writer fills in, the
// "task" and "memo" elements with their attributes in writing order, and how each value
// is written and read back.

#include "store/DateTime.h"

#include <QString>

#include <optional>
#include <utility>
#include <vector>

#include <pugixml.hpp>

namespace quillpad {

class Txmltry;
class QvxWriter;
class Query;
struct TTaskInfo;

namespace Qvx {

// Ten lines joined by a single CR, no declaration: 149 bytes.
extern const char Template[];
inline const QString AppName = QStringLiteral("Plumcrest");
inline const QString TasksPath = QStringLiteral("ambrel,tasks");
inline const QString MemosPath = QStringLiteral("ambrel,memos");

// Loads the template and stamps the root with our name, file version and the time now.
void BeginDocument(Txmltry &xml);

using Attributes = std::vector<std::pair<const char *, QString>>;
// Appends one element with the attributes in the order given.
void AppendElement(pugi::xml_node parent, const char *name, const Attributes &attributes);

// Times are written and read with the zone offset in force when the operation began
// (bias as LocalBias gives it), read once for the whole document.

// A task as the export writes it: flags always "True" or "False".
Attributes TaskAttributes(const TTaskInfo &task, const QString &pid, int bias);
// Every row of a table opened by TaskStore::openAllRows, as the backup
// writes it, into the open section: null flags and colours become empty text.
void WriteTaskRows(QvxWriter &file, Query &query, int bias);
void WriteMemoRows(QvxWriter &file, Query &query, int bias);

// Value texts.
QString BooleanText(bool value);
QString TimeText(TDateTime value, int bias);
// Line breaks go out as a single LF, which reading turns back into CR LF.
QString ContentText(const QString &content);

// Reading. Errors are AppError with the texts the user sees.
// "Data mismatch: " with the value found and our name run together, when "app" is not
// exactly ours.
void CheckApp(Txmltry &xml);
// The same for the root's "app" read without a document; none when the root lacks it.
void CheckApp(const std::optional<QString> &app);
void CheckApp(const std::optional<QByteArray> &utf8App);
// "True"/"False" or a leading part of either in any case; empty text is null.
std::optional<bool> ReadBoolean(const QString &value, const QString &field);
// A signed 32-bit decimal; empty text is null.
std::optional<qint32> ReadInteger(const QString &value, const QString &field);
// The form every writer of the file uses, "YYYY-MM-DDThh:mm:ss.000" and "Z" or
// "+hh:mm", read by hand; false for anything else, which ReadTime then reads.
bool ReadCommonTime(QStringView text, int bias, TDateTime &time);
// Through IsoToDateTime. The zero date-time, in whatever zone it was written, stays the
// zero date-time: it means "not set", and moving it would turn it into a date.
TDateTime ReadTime(const QString &value, int bias);
// Every LF becomes CR LF.
QString ReadContent(const QString &value);

}  // namespace Qvx

}  // namespace quillpad
