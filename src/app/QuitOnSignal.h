#pragma once
// The main window ends the program on SIGTERM, SIGINT and SIGHUP as File › Exit does.

namespace quillpad {

class TmainFm;

// For the window's lifetime. Open dialogs are answered with Cancel first, so that
// nothing still runs inside one when the list goes.
void QuitOnSignal(TmainFm &window);

}  // namespace quillpad
