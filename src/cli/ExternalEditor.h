#pragma once
// A task's text edited in the user's own editor ($EDITOR, else vi) on the terminal.

#include <QString>

namespace quillpad {

// The text as the editor left it. A CommandFailure says why when the editor could not
// be started or ended with an error.
QString EditInEditor(const QString &text);

}  // namespace quillpad
