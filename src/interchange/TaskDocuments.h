#pragma once
// The selected tasks as a plain-text or an HTML document, for reading outside the
// program: Save Task, Save All, the e-mail attachment and the command line.

#include "store/TaskInfo.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace quillpad {

// The maker's page for this product, named in the documents' footers.
extern const QString ProductPageAddress;

// The documents' lines; `moment` is the footer's time. Each task entry is followed by
// its sub-tasks; the counts in the footer count the two kinds.
QStringList TaskTextLines(const TaskSnapshot &selected, TDateTime moment);
QStringList TaskHtmlLines(const TaskSnapshot &selected, TDateTime moment);

// Write the document (UTF-8, CR LF after every line) with the clock's current moment.
// "File write failure!" and false when the file cannot be written.
bool WriteTasksText(const QString &fileName, const TaskSnapshot &selected);
bool WriteTasksHtml(const QString &fileName, const TaskSnapshot &selected);

enum class TaskDocumentFormat { Text, Html };

struct TaskDocumentChoice {
    QString fileName;  // empty: cancelled
    TaskDocumentFormat format = TaskDocumentFormat::Text;
};

// Asks for the file through the Prompter; the chosen filter decides the format and the
// name's extension (".txt", or ".html" also in place of a typed ".htm").
TaskDocumentChoice AskTaskDocumentFile();

// `name` with its extension replaced, or added when it has none.
QString WithExtension(const QString &name, const QString &extension);

// The format the name's extension asks for: ".txt", ".html" or ".htm"; none otherwise.
std::optional<TaskDocumentFormat> FormatOfFileName(const QString &fileName);

// Writes the document of `format`.
bool WriteTaskDocument(TaskDocumentFormat format, const QString &fileName, const TaskSnapshot &selected);

}  // namespace quillpad
