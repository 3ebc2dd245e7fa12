#include "engine/Log.h"

#include "engine/Core.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "platform/Platform.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace {

// Old runs' files: three days.
constexpr std::uint64_t kMaxLogAge = 259200;
// Lines from before the log file exists; a run that never opens it must not grow without end.
constexpr std::size_t kMaxPendingLines = 1000;
// A run that logs without end must not fill the disk. The start of the log (how the run began) is
// kept whole; after it, the latest lines, between kTailBytes and twice that much, behind one line
// that says how much was dropped in between. A single line longer than kMaxLineBytes is cut.
constexpr std::uint64_t kHeadBytes = 1u << 20;
constexpr std::size_t kTailBytes = 1u << 20;
constexpr std::size_t kMaxLineBytes = 64u << 10;

// The crash report's folder until OpenSessionLog knows the user data folder.
constexpr const char* kStartCrashFolder = "logs/";

enum class FileState { kPending, kOpen, kClosed };


struct Logger {
    std::mutex mutex;
    FileState state = FileState::kPending;
    std::string stamp;
    std::string path;
    std::vector<std::string> pendingLines;
    std::size_t droppedLines = 0;
    // Bytes of the file that belong to the kept start; once full, later lines are the tail.
    std::uint64_t headBytes = 0;
    bool isHeadFull = false;
    std::deque<std::string> tailLines;
    std::size_t tailBytes = 0;
    std::uint64_t cutLines = 0;
    std::uint64_t cutBytes = 0;
    std::vector<std::string> screenQueue;
    std::function<void(const std::string&)> screenHandler;
    LogListener listener;
    // The thread that runs static initialisation is the main thread until told otherwise.
    std::thread::id mainThread = std::this_thread::get_id();
    std::string crashStamp;
    std::string crashVersion;
    std::string crashFolder = kStartCrashFolder;
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

void ForgetSizeLocked(Logger& logger)
{
    logger.headBytes = 0;
    logger.isHeadFull = false;
    logger.tailLines.clear();
    logger.tailBytes = 0;
    logger.cutLines = 0;
    logger.cutBytes = 0;
}

// The text of one line, its length capped (cut on a character boundary).
std::string LineOf(const std::string& stamp, const std::string& text)
{
    if (text.size() <= kMaxLineBytes)
        return "[" + stamp + "] " + text + "\n";
    const std::size_t cut = Utf8CutLength(text, kMaxLineBytes);
    return "[" + stamp + "] " + text.substr(0, cut) + " ... (" + std::to_string(text.size() - cut) +
           " more bytes)\n";
}

// Drops the oldest tail lines down to kTailBytes and rewrites the file after its start: the note
// on what was dropped, then the tail. The start is never rewritten, so a run killed meanwhile
// still leaves it.
void TrimTailLocked(Logger& logger)
{
    while (logger.tailBytes > kTailBytes) {
        logger.tailBytes -= logger.tailLines.front().size();
        logger.cutBytes += logger.tailLines.front().size();
        ++logger.cutLines;
        logger.tailLines.pop_front();
    }
    platform::FilePtr file(platform::OpenFile(logger.path, "r+b"));
    if (!file || std::fseek(file.get(), static_cast<long>(logger.headBytes), SEEK_SET) != 0)
        return;
    const std::string note = "[" + logger.stamp + "] (" + std::to_string(logger.cutLines) + " lines, " +
                             std::to_string(logger.cutBytes) + " bytes dropped here to keep the log small)\n";
    bool ok = WriteAll(file.get(), note);
    std::uint64_t size = logger.headBytes + note.size();
    for (const std::string& line : logger.tailLines) {
        ok = ok && WriteAll(file.get(), line);
        size += line.size();
    }
    if (ok)
        platform::TruncateFile(file.get(), size);
}

void AppendLocked(Logger& logger, const std::string& line)
{
    {
        platform::FilePtr file(platform::OpenFile(logger.path, "ab"));
        if (!file || !WriteAll(file.get(), line))
            return;
    }
    if (!logger.isHeadFull && logger.headBytes + line.size() <= kHeadBytes) {
        logger.headBytes += line.size();
        return;
    }
    logger.isHeadFull = true;
    logger.tailLines.push_back(line);
    logger.tailBytes += line.size();
    if (logger.tailBytes > 2 * kTailBytes)
        TrimTailLocked(logger);
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
        ForgetSizeLocked(logger);
        const std::string first = LineOf(logger.stamp, started);
        bool created = false;
        {
            platform::FilePtr file(platform::OpenFile(logger.path, "wb"));
            created = file != nullptr;
            opened = created && WriteAll(file.get(), first);
        }
        if (opened) {
            logger.headBytes = first.size();
            for (const std::string& line : logger.pendingLines)
                AppendLocked(logger, line);
            if (logger.droppedLines > 0)
                AppendLocked(logger, "[" + logger.stamp + "] (" + std::to_string(logger.droppedLines) +
                                         " earlier lines were dropped)\n");
        }
        logger.pendingLines.clear();
        logger.droppedLines = 0;
        // Without a log file the file target is skipped for the whole run.
        logger.state = created ? FileState::kOpen : FileState::kClosed;
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
            std::string line = LineOf(logger.stamp, text);
            if (logger.state == FileState::kPending) {
                if (logger.pendingLines.size() < kMaxPendingLines)
                    logger.pendingLines.push_back(std::move(line));
                else
                    ++logger.droppedLines;
            } else if (logger.state == FileState::kOpen) {
                AppendLocked(logger, line);
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
    ForgetSizeLocked(logger);
}

void CloseSessionLog()
{
    Logger& logger = TheLogger();
    std::lock_guard<std::mutex> lock(logger.mutex);
    logger.state = FileState::kPending;
    logger.path.clear();
    logger.pendingLines.clear();
    logger.droppedLines = 0;
    ForgetSizeLocked(logger);
    // The report went beside the log; until the next OpenSessionLog it goes where it went before.
    logger.crashFolder = kStartCrashFolder;
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

LogTally::LogTally(std::string singularNoun, std::string pluralNoun)
    : noun(std::move(singularNoun)), nouns(std::move(pluralNoun))
{
}

void LogTally::Note(const char* singular, const char* plural, const std::string& name)
{
    auto it = std::find_if(kinds.begin(), kinds.end(), [&](const Kind& k) { return k.singular == singular; });
    if (it == kinds.end()) {
        kinds.push_back(Kind{singular, plural, 0, {}});
        it = kinds.end() - 1;
    }
    ++it->count;
    if (it->names.size() < kNamedEach)
        it->names.push_back(ShortenForDisplay(name, kShownNameBytes));
}

void LogTally::Flush()
{
    for (const Kind& k : kinds) {
        if (k.count == 1) {
            LogText(kLogFile, noun + " " + k.names.front() + " " + k.singular);
            continue;
        }
        std::string line = std::to_string(k.count) + " " + nouns + " " + k.plural + ":";
        for (const std::string& name : k.names)
            line += " " + name;
        if (k.count > k.names.size())
            line += " and " + std::to_string(k.count - k.names.size()) + " more";
        LogText(kLogFile, line);
    }
    kinds.clear();
}
