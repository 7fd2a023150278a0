#pragma once
// E-mailing the selected tasks: an HTML page and an interchange file in the data
// folder's Temp/, attached to a new message the user finishes in the mail program.

#include "store/TaskInfo.h"

namespace quillpad {

class TQvSendMessage;

// Writes both files (each writer reports its own failure, which ends this) and hands
// the message over. A hand-off that fails raises what failed, what to install or
// check, and where the files are, to attach them by hand.
void MailTasks(TQvSendMessage &mail, const TaskSnapshot &selected);

}  // namespace quillpad
