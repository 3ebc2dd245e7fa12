#include "platform/Platform.h"

namespace platform {
void InstallCrashHandler(const std::string&) {}
} // namespace platform
