#pragma once
// What screen readers see of the task list: a tree whose children are the shown rows,
// each with its text, check box, expanded state, selection and place on the screen.

namespace quillpad {

// Registers the interfaces with Qt's accessibility once; the list's constructor calls it.
void InstallTaskTreeAccessible();

}  // namespace quillpad
