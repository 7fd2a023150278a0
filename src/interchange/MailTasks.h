#pragma once
// E-mailing the selected tasks: an HTML page and an interchange file in the data
// folder's Temp/, attached to a new message the user finishes in the mail program.

#include "store/TaskInfo.h"

namespace quillpad {

class TQvSendMessage;

// Writes both files (each writer reports its own failure, which ends this) and hands
// the message over. Every failure of the hand-off is swallowed: the user cancelling in
// the mail program, or having none, is no error to report.
void MailTasks(TQvSendMessage &mail, const TaskSnapshot &selected);

}  // namespace quillpad
