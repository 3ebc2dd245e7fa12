#pragma once
// The run's log: "logs/session_<stamp>.log" under the user data folder, one line per call,
// opened and closed around every line. Safe from any thread. However much a run logs, the file
// stays within a few megabytes: its start and its latest lines, with a line that counts what was
// dropped between them.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

enum LogTarget { kLogFileAndScreen = 0, kLogScreen = 1, kLogFile = 2 };

// Makes the folder, purges this program's own old files, creates the log with its first line.
// Lines logged before this are kept and written once the file exists.
bool OpenSessionLog();
void LogText(int target, const std::string& text);
void Log(int target, const std::string& a, const std::string& b = std::string(),
         const std::string& c = std::string(), const std::string& d = std::string());
// The path of this run's log ("" before OpenSessionLog).
const std::string& SessionLogPath();
// Clean end of run: the log goes, and later lines are dropped.
void DeleteSessionLog();
// Forgets the open log (the file stays); later lines wait for the next OpenSessionLog, and the
// crash report goes to "logs/" again.
void CloseSessionLog();

// Shows a screen-target line (the message box installs it). Lines for the screen from other
// threads wait in a queue until FlushScreenLog runs on the main thread.
void SetLogScreenHandler(std::function<void(const std::string&)> handler);
void FlushScreenLog();
// Marks the calling thread as the main thread (Core::Init does).
void SetLogMainThread();

// Sees every LogText call (target, text) before it is written; for test captures. Returns the
// listener it replaces. Called with the log's lock held: it must not log.
using LogListener = std::function<void(int target, const std::string& text)>;
LogListener SetLogListener(LogListener listener);

// One file line per kind of trouble in a pass over many names, however many names share it: a
// list of thousands must not write thousands of lines on every pass. One name gives
// "<Noun> <name> <singular>", more give "<count> <nouns> <plural>: <first names> and <n> more".
// Names are shortened for the line. Not thread-safe: one pass, one thread.
class LogTally {
public:
    LogTally(std::string noun, std::string nouns);
    void Note(const char* singular, const char* plural, const std::string& name);
    // Writes the lines and starts over.
    void Flush();

private:
    static constexpr std::size_t kNamedEach = 5;
    struct Kind {
        const char* singular;
        const char* plural;
        std::size_t count;
        std::vector<std::string> names;
    };
    std::string noun;
    std::string nouns;
    std::vector<Kind> kinds;
};

// The crash report: the log folder + "crash_" + start-up stamp + "_v" + version + ".dmp".
// main installs it and sets the program's version first thing (the stamp is taken then; the
// folder is "logs/" until OpenSessionLog knows the user data folder).
void InstallCrashReport();
void SetCrashReportVersion(const std::string& version);
std::string CrashReportPath();
