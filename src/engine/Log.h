#pragma once
// The run's log: "logs/session_<stamp>.log" under the user data folder, one line per call,
// opened and closed around every line. Safe from any thread.

#include <functional>
#include <string>

enum LogTarget { kLogFileAndScreen = 0, kLogScreen = 1, kLogFile = 2 };

// Makes the folder, purges this program's own old files, creates the log with its first line.
// Lines logged before this are kept and written once the file exists.
bool OpenSessionLog();
void LogText(int target, const std::string& text);
void Log(int target, const std::string& a, const std::string& b = std::string(),
         const std::string& c = std::string(), const std::string& d = std::string());
// The path of this run's log ("" before OpenSessionLog).
const std::string& SessionLogPath();
// Clean end of run: the log goes.
void DeleteSessionLog();

// Shows a screen-target line (the message box installs it). Lines for the screen from other
// threads wait in a queue until FlushScreenLog runs on the main thread.
void SetLogScreenHandler(std::function<void(const std::string&)> handler);
void FlushScreenLog();
// Marks the calling thread as the main thread (Core::Init does).
void SetLogMainThread();
