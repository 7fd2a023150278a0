#pragma once

class QPainter;

namespace quillpad {

// Our own drawings of the icons, used where the desktop theme has none. Each glyph
// paints into a 16 x 16 design square; the caller scales the painter to the size wanted.


namespace IconGlyphs {

using Painter = void (*)(QPainter &);

void application(QPainter &p);
void copy(QPainter &p);
void paste(QPainter &p);
void addSubTask(QPainter &p);
void editTask(QPainter &p);
void deleteTask(QPainter &p);
void markComplete(QPainter &p);
void bell(QPainter &p);
void dateView(QPainter &p);
void sortAscending(QPainter &p);
void sortDescending(QPainter &p);
void listView(QPainter &p);
void colorSwatches(QPainter &p);
void expandAll(QPainter &p);
void collapseAll(QPainter &p);
void add(QPainter &p);
void pencil(QPainter &p);
void save(QPainter &p);
void print(QPainter &p);
void information(QPainter &p);
void magnifier(QPainter &p);
void backArrow(QPainter &p);
void alarmClock(QPainter &p);
void calendarOverdue(QPainter &p);
void calendar(QPainter &p);
void email(QPainter &p);
void exportTasks(QPainter &p);
void importTasks(QPainter &p);
void backup(QPainter &p);
void restore(QPainter &p);
void options(QPainter &p);
void help(QPainter &p);
void about(QPainter &p);
void exit(QPainter &p);
void lightBulb(QPainter &p);

}  // namespace IconGlyphs

}  // namespace quillpad
