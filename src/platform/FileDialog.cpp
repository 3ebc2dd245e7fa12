#include "platform/Platform.h"

namespace platform {
void SetFileDialogFunction(FileDialogFunction) {}
std::string RunFileDialog(bool, bool, const std::string&) { return {}; }
} // namespace platform
