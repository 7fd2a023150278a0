#pragma once
// The commands that show and change single tasks as the window does: list, show, done,
// undone, edit, remove, due, remind, color, move.

#include "cli/CommandLine.h"

#include <vector>

namespace quillpad {

const std::vector<Command> &TaskCommands();

}  // namespace quillpad
