#include "engine/Log.h"

#include "engine/Core.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// Old runs' files: three days.
constexpr std::uint64_t kMaxLogAge = 259200;
// Lines from before the log file exists; a run that never opens it must not grow without end.
constexpr std::size_t kMaxPendingLines = 1000;

enum class FileState { kPending, kOpen, kClosed };


struct Logger {
    std::mutex mutex;
    FileState state = FileState::kPending;
    std::string stamp;
    std::string path;
    std::vector<std::string> pendingLines;
    std::size_t droppedLines = 0;
    std::vector<std::string> screenQueue;
    std::function<void(const std::string&)> screenHandler;
    LogListener listener;
    // The thread that runs static initialisation is the main thread until told otherwise.
    std::thread::id mainThread = std::this_thread::get_id();
    std::string crashStamp;
    std::string crashVersion;
    std::string crashFolder = "logs/";
};

Logger& TheLogger()
{
    static Logger logger;
    return logger;
}

// The platform layer reports through the log. Touching the logger here also fixes its main
// thread to the one that runs static initialisation.
[[maybe_unused]] const bool kReportHookInstalled = (platform::SetReportFunction(&LogText), TheLogger(), true);

bool WriteAll(std::FILE* file, const std::string& bytes)
{
    return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
}

bool IsOwnFile(const std::string& name)
{
    auto between = [&name](const std::string& prefix, const std::string& suffix) {
        return name.size() > prefix.size() + suffix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
               name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0;
    };
    return between("session_", ".log") || between("crash_", ".dmp");
}

// Only this program's own logs and reports: the folder may be shared with anything.
void PurgeOldFiles(const std::string& folder)
{
    const std::uint64_t now = UnixTimeNow();
    for (const std::string& name : platform::ListFolderFiles(folder)) {
        if (!IsOwnFile(name))
            continue;
        const std::string path = folder + "/" + name;
        std::uint64_t written = 0;
        if (!platform::FileModifiedTime(path, written))
            continue;
        // Unsigned on purpose: a file dated in the future counts as old.
        if (now - written > kMaxLogAge)
            platform::RemoveFile(path);
    }
}

std::string CrashPathLocked(const Logger& logger)
{
    return logger.crashFolder + "crash_" + logger.crashStamp + "_v" + logger.crashVersion + ".dmp";
}

} // namespace

bool OpenSessionLog()
{
    const std::string& started = Localize("LOG_STARTED");
    const std::string runStamp = gCore != nullptr && !gCore->runStamp.empty() ? gCore->runStamp : FormatTimestamp(false);
    const std::string dataFolder = gCore != nullptr ? gCore->userDataFolder : std::string();
    const std::string folder = dataFolder + "logs";

    Logger& logger = TheLogger();
    std::string crashPath;
    bool opened = false;
    {
        std::lock_guard<std::mutex> lock(logger.mutex);
        platform::MakeFolder(folder);
        PurgeOldFiles(folder);
        logger.path = folder + "/" + "session_" + runStamp + ".log";
        logger.stamp = FormatTimestamp(true);
        platform::FilePtr file(platform::OpenFile(logger.path, "wb"));
        if (file) {
            bool ok = WriteAll(file.get(), "[" + logger.stamp + "] " + started + "\n");
            for (const std::string& line : logger.pendingLines)
                ok = ok && WriteAll(file.get(), line);
            if (logger.droppedLines > 0)
                ok = ok && WriteAll(file.get(), "[" + logger.stamp + "] (" + std::to_string(logger.droppedLines) +
                                                    " earlier lines were dropped)\n");
            opened = ok;
        }
        logger.pendingLines.clear();
        logger.droppedLines = 0;
        // Without a log file the file target is skipped for the whole run.
        logger.state = file ? FileState::kOpen : FileState::kClosed;
        logger.crashFolder = folder + "/";
        crashPath = CrashPathLocked(logger);
    }
    platform::SetCrashDumpPath(crashPath);
    return opened;
}

void LogText(int target, const std::string& text)
{
    Logger& logger = TheLogger();
    const bool toFile = target == kLogFileAndScreen || target == kLogFile;
    const bool toScreen = target == kLogFileAndScreen || target == kLogScreen;
    std::function<void(const std::string&)> showNow;
    {
        std::lock_guard<std::mutex> lock(logger.mutex);
        if (logger.listener)
            logger.listener(target, text);
        if (toFile) {
            logger.stamp = FormatTimestamp(true);
            const std::string line = "[" + logger.stamp + "] " + text + "\n";
            if (logger.state == FileState::kPending) {
                if (logger.pendingLines.size() < kMaxPendingLines)
                    logger.pendingLines.push_back(line);
                else
                    ++logger.droppedLines;
            } else if (logger.state == FileState::kOpen) {
                platform::FilePtr file(platform::OpenFile(logger.path, "ab"));
                if (file)
                    WriteAll(file.get(), line);
            }
        }
        if (toScreen) {
            if (std::this_thread::get_id() == logger.mainThread)
                showNow = logger.screenHandler;
            else
                logger.screenQueue.push_back(text);
        }
    }
    // Outside the lock: the handler opens a message box, which may log in turn.
    if (showNow)
        showNow(text);
}

void Log(int target, const std::string& a, const std::string& b, const std::string& c, const std::string& d)
{
    LogText(target, a + b + c + d);
}

const std::string& SessionLogPath()
{
    return TheLogger().path;
}

void DeleteSessionLog()
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    if (!logger.path.empty())
        platform::RemoveFile(logger.path);
    logger.state = FileState::kClosed;
    logger.pendingLines.clear();
}

void CloseSessionLog()
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    logger.state = FileState::kPending;
    logger.path.clear();
    logger.pendingLines.clear();
    logger.droppedLines = 0;
}

void SetLogScreenHandler(std::function<void(const std::string&)> handler)
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    logger.screenHandler = std::move(handler);
}

void FlushScreenLog()
{
    Logger& logger = TheLogger();
    std::vector<std::string> lines;
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> lock(logger.mutex);
        if (std::this_thread::get_id() != logger.mainThread)
            return;
        lines.swap(logger.screenQueue);
        handler = logger.screenHandler;
    }
    if (!handler)
        return;
    for (const std::string& line : lines)
        handler(line);
}

void SetLogMainThread()
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    logger.mainThread = std::this_thread::get_id();
}

LogListener SetLogListener(LogListener listener)
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    LogListener previous = std::move(logger.listener);
    logger.listener = std::move(listener);
    return previous;
}

void InstallCrashReport()
{
    Logger& logger = TheLogger();
    std::string path;
    {
        std::lock_guard<std::mutex> lock(logger.mutex);
        logger.crashStamp = FormatTimestamp(false);
        path = CrashPathLocked(logger);
    }
    platform::InstallCrashHandler(path);
}

void SetCrashReportVersion(const std::string& version)
{
    Logger& logger = TheLogger();
    std::string path;
    {
        std::lock_guard<std::mutex> lock(logger.mutex);
        logger.crashVersion = version;
        path = CrashPathLocked(logger);
    }
    platform::SetCrashDumpPath(path);
}

std::string CrashReportPath()
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    return CrashPathLocked(logger);
}
