#pragma once
// Every test of the GUI toolkit runs inside a log capture that fails it on error lines nobody
// allowed. A test that expects an error line allows it here; a test that makes its own LogCapture
// sees its lines there instead (captures nest).

#include "support/LogCapture.h"

// The running GUI test's capture. Only valid inside a test of tests/gui.
LogCapture& GuiLog();
