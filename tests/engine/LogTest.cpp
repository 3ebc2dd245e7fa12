#include "engine/Log.h"

#include "engine/Core.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <regex>
#include <thread>

namespace {

constexpr std::uint64_t kDay = 86400;

bool Exists(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

// Each test runs in its own working folder with a fresh, unopened log and no core.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        savedCore = gCore;
        gCore = nullptr;
        CloseSessionLog();
        // The start line's text; without it the log also names the missing key.
        TextTable::Parse("[LOG_STARTED]{Started.}");
    }
    void TearDown() override
    {
        TextTable::Clear();
        CloseSessionLog();
        SetLogScreenHandler(nullptr);
        gCore = savedCore;
    }

    std::string ReadLog() const { return dir.Read("logs/" + SessionLogPath().substr(SessionLogPath().rfind('/') + 1)); }

    TempDir dir;
    ScopedWorkingDir cwd {dir.Path()};
    Core* savedCore = nullptr;
};

// Also run under ThreadSanitizer.
class LogThreadedTest : public LogTest {};

} // namespace

TEST_F(LogTest, FirstLineIsStartedThenLinesInOrder)
{
    ASSERT_TRUE(OpenSessionLog());
    LogText(kLogFile, "second");
    Log(kLogFileAndScreen, "A", "B");

    const std::string log = ReadLog();
    const std::regex line(R"(\[\d{4}/\d{1,2}/\d{1,2} \d{1,2}:\d{1,2}:\d{1,2}\] (.*))");
    std::vector<std::string> texts;
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find('\n', start);
        ASSERT_NE(end, std::string::npos) << "every line ends in a line feed";
        std::smatch match;
        const std::string text = log.substr(start, end - start);
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        texts.push_back(match[1]);
        start = end + 1;
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"Started.", "second", "AB"}));
    EXPECT_EQ(SessionLogPath().rfind("logs/session_", 0), 0u) << SessionLogPath();
}

TEST_F(LogTest, LinesBeforeOpeningAreKept)
{
    LogText(kLogFile, "early line");
    ASSERT_TRUE(OpenSessionLog());
    const std::string log = ReadLog();
    const std::size_t started = log.find(Localize("LOG_STARTED"));
    const std::size_t early = log.find("early line");
    ASSERT_NE(early, std::string::npos);
    EXPECT_LT(started, early) << "the start line stays first";
}

TEST_F(LogTest, EndlessLoggingKeepsTheStartAndTheEndAndSaysWhatWasDropped)
{
    ASSERT_TRUE(OpenSessionLog());
    constexpr int kLines = 800;
    const std::string padding(10000, 'x');
    for (int i = 0; i < kLines; ++i)
        LogText(kLogFile, "line " + std::to_string(i) + " " + padding);
    LogText(kLogFile, std::string(1u << 20, 'y'));

    const std::string log = ReadLog();
    EXPECT_LT(log.size(), 4u << 20) << "8 MB were logged";
    EXPECT_EQ(log.find("Started."), log.find("] ") + 2);
    EXPECT_NE(log.find("line 0 "), std::string::npos);
    EXPECT_NE(log.find("line 799 "), std::string::npos);
    EXPECT_NE(log.find(" more bytes)\n"), std::string::npos) << "the 1 MB line is cut, not dropped";
    std::smatch note;
    ASSERT_TRUE(std::regex_search(log, note, std::regex(R"(\] \((\d+) lines, \d+ bytes dropped)")));
    std::size_t kept = 0;
    for (std::size_t at = log.find("] line "); at != std::string::npos; at = log.find("] line ", at + 1))
        ++kept;
    EXPECT_EQ(kept + std::stoul(note[1]), static_cast<std::size_t>(kLines));
    EXPECT_LT(log.find("line 0 "), note.position(0));
    EXPECT_GT(log.find("line 799 "), static_cast<std::size_t>(note.position(0)));
}

TEST_F(LogTest, ScreenOnlyWritesNothingAndScreenTargetsReachHandler)
{
    std::vector<std::string> shown;
    SetLogScreenHandler([&](const std::string& text) { shown.push_back(text); });
    ASSERT_TRUE(OpenSessionLog());
    const std::string before = ReadLog();
    LogText(kLogScreen, "only on screen");
    EXPECT_EQ(ReadLog(), before);
    LogText(kLogFileAndScreen, "both");
    LogText(kLogFile, "file only");
    EXPECT_EQ(shown, (std::vector<std::string>{"only on screen", "both"}));
}

TEST_F(LogTest, ScreenTargetWithoutHandlerShowsNothing)
{
    LogCapture capture;
    LogText(kLogScreen, "nobody listens");
    FlushScreenLog();
    ASSERT_EQ(capture.Lines().size(), 1u);
    EXPECT_EQ(capture.Lines()[0].target, kLogScreen);
}

TEST_F(LogTest, PurgeRemovesOnlyOwnOldFiles)
{
    const std::uint64_t now = UnixTimeNow();
    struct Case {
        std::string name;
        std::uint64_t time;
        bool kept;
    };
    const Case cases[] = {
        {"session_2016_1_1_0_0_0.log", now - 4 * kDay, false},
        {"crash_2016_1_1_0_0_0_v33.dmp", now - 2 * kDay, true},
        {"crash_2016_1_2_0_0_0_v33.dmp", now - 4 * kDay, false},
        {"session_2099_1_1_0_0_0.log", now + kDay, false}, // dated in the future counts as old
        {"session_recent.log", now - kDay, true},
        {"notes.txt", now - 40 * kDay, true},                 // not ours
        {"session_.txt", now - 40 * kDay, true},
        {"mysession_1.log", now - 40 * kDay, true},
    };
    for (const Case& c : cases) {
        dir.Write("logs/" + c.name, "x");
        ASSERT_TRUE(SetFileTime(dir.File("logs/" + c.name), c.time)) << c.name;
    }
    dir.Write("logs/oldfolder.log/inside", "x");
    ASSERT_TRUE(SetFileTime(dir.File("logs/oldfolder.log"), now - 40 * kDay));

    ASSERT_TRUE(OpenSessionLog());
    for (const Case& c : cases)
        EXPECT_EQ(Exists(dir.File("logs/" + c.name)), c.kept) << c.name;
    EXPECT_TRUE(Exists(dir.File("logs/oldfolder.log/inside")));
}

TEST_F(LogTest, UsesCoreStampAndDataFolder)
{
    Core core;
    core.runStamp = "2016_3_7_9_5_2";
    core.userDataFolder = dir.Path() + "/data/";
    ASSERT_EQ(mkdir(core.userDataFolder.c_str(), 0700), 0);
    gCore = &core;
    ASSERT_TRUE(OpenSessionLog());
    gCore = nullptr;
    EXPECT_EQ(SessionLogPath(), dir.Path() + "/data/logs/session_2016_3_7_9_5_2.log");
    EXPECT_TRUE(Exists(SessionLogPath()));
    EXPECT_EQ(CrashReportPath().rfind(dir.Path() + "/data/logs/crash_", 0), 0u) << CrashReportPath();
    CloseSessionLog();
    EXPECT_EQ(CrashReportPath().rfind("logs/crash_", 0), 0u) << "a closed log takes the report along";
}

TEST_F(LogTest, DeletedLogStaysDeleted)
{
    ASSERT_TRUE(OpenSessionLog());
    const std::string path = SessionLogPath();
    DeleteSessionLog();
    LogText(kLogFile, "after the end");
    EXPECT_FALSE(Exists(path));
}

TEST_F(LogTest, UnwritableFolderSkipsFileButKeepsScreen)
{
    dir.Write("logs", "a file where the folder should be");
    std::vector<std::string> shown;
    SetLogScreenHandler([&](const std::string& text) { shown.push_back(text); });
    EXPECT_FALSE(OpenSessionLog());
    LogText(kLogFileAndScreen, "still shown");
    EXPECT_EQ(shown, (std::vector<std::string>{"still shown"}));
}

TEST_F(LogTest, CrashReportNameCarriesVersion)
{
    SetCrashReportVersion("33");
    const std::string path = CrashReportPath();
    EXPECT_NE(path.find("crash_"), std::string::npos);
    EXPECT_EQ(path.substr(path.size() - 8), "_v33.dmp") << path;
    SetCrashReportVersion("");
}

TEST_F(LogThreadedTest, ScreenLinesWaitForMainThreadFlush)
{
    std::vector<std::string> shown;
    SetLogScreenHandler([&](const std::string& text) { shown.push_back(text); });
    ASSERT_TRUE(OpenSessionLog());
    std::thread worker([] {
        LogText(kLogFileAndScreen, "from worker 1");
        LogText(kLogScreen, "from worker 2");
        FlushScreenLog(); // not the main thread: must not show anything
    });
    worker.join();
    EXPECT_TRUE(shown.empty());
    FlushScreenLog();
    EXPECT_EQ(shown, (std::vector<std::string>{"from worker 1", "from worker 2"}));
    FlushScreenLog();
    EXPECT_EQ(shown.size(), 2u);
    EXPECT_NE(ReadLog().find("from worker 1"), std::string::npos);
}

TEST_F(LogThreadedTest, LinesAreWrittenWhole)
{
    ASSERT_TRUE(OpenSessionLog());
    constexpr int kThreads = 4;
    constexpr int kLines = 200;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kLines; ++i)
                LogText(kLogFile, "thread " + std::to_string(t) + " line " + std::to_string(i) + " " +
                                      std::string(100, static_cast<char>('a' + t)));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    const std::string log = ReadLog();
    const std::regex whole(R"(\[[^\]]+\] thread \d line \d+ ([a-d])\1{99})");
    int count = 0;
    std::size_t start = log.find('\n') + 1; // after the start line
    while (start < log.size()) {
        const std::size_t end = log.find('\n', start);
        ASSERT_NE(end, std::string::npos);
        EXPECT_TRUE(std::regex_match(log.substr(start, end - start), whole)) << log.substr(start, end - start);
        ++count;
        start = end + 1;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

TEST(LogCaptureTest, UnexpectedErrorLineFailsAllowedOneDoesNot)
{
    EXPECT_NONFATAL_FAILURE(
        {
            LogCapture capture;
            LogText(kLogFile, "Failed to open asset file: x");
        },
        "Unexpected error line in the log: Failed to open asset file: x");
    LogCapture capture;
    capture.Allow("asset file");
    LogText(kLogFile, "Failed to open asset file: y");
    LogText(kLogFile, "Loaded fine");
    EXPECT_TRUE(capture.UnexpectedErrors().empty());
    EXPECT_EQ(capture.Lines().size(), 2u);
}
