#pragma once
// Where the programs we start (file dialogs, the page opener) write their standard error: not our
// terminal, which is for the program's own lines (a dialog toolkit alone writes a hundred warnings
// there), but an unnamed file, of which the log gets the start. A file, not a pipe: a child can
// never fill it and stall while we wait for it, and a browser the opener leaves running is not
// killed by a closed pipe when it writes after we have read it.

#include <string>

namespace platform {

// A fresh unnamed file for one child's standard error (close-on-exec; the child gets it as its
// own descriptor 2). -1 when none can be made.
int OpenErrorCapture();
// Writes the first lines the child wrote there to the log's file (at most a few kilobytes, each
// line named after the program), then one line saying how much was dropped; closes fd. Nothing
// for a child that wrote nothing, or for fd -1.
void LogErrorCapture(int fd, const std::string& program);

} // namespace platform
