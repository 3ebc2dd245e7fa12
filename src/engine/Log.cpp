#include "engine/Log.h"

namespace {
const std::string kEmpty;
}

bool OpenSessionLog() { return false; }
void LogText(int, const std::string&) {}
void Log(int target, const std::string& a, const std::string& b, const std::string& c, const std::string& d)
{
    LogText(target, a + b + c + d);
}
const std::string& SessionLogPath() { return kEmpty; }
void DeleteSessionLog() {}
void SetLogScreenHandler(std::function<void(const std::string&)>) {}
void FlushScreenLog() {}
void SetLogMainThread() {}
