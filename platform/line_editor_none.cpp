// Builds without a line editor: lines are read as typed, through the terminal's own line mode.
#include "platform/line_editor.h"

namespace platform {

bool lineEditing() { return false; }

bool editLine(const char*, char*, size_t) { return false; }

void rememberLine(const char*) {}

}  // namespace platform
