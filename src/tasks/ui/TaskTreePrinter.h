#pragma once
// Printing the task tree as the screen shows it: the rows of expanded tasks with their
// check boxes, icons and colours, without a header, on white.

#include <QImage>

class QPrinter;

namespace quillpad {

class TaskTreeView;

// The shown rows, painted by the view's row delegate into one image.
QImage TaskTreeImage(const TaskTreeView &view);

// The image scaled by how much taller the tree's font is on the printer than on the
// screen, in page-sized pieces: row of pages by row of pages from the top, each row
// from left to right. Returns the number of pages.
int PrintTaskTree(const TaskTreeView &view, QPrinter &printer);

}  // namespace quillpad
