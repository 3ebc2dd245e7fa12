#include "platform/Platform.h"

#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>

namespace {

// Opaque to the optimiser, so the store below is a real fault, not a raised signal.
volatile std::uintptr_t gUnmappedAddress = 16;

void Segfault()
{
    volatile int* bad = reinterpret_cast<volatile int*>(gUnmappedAddress);
    *bad = 1;
}

} // namespace

TEST(CrashHandlerDeathTest, SegfaultLeavesReportAndDiesBySignal)
{
    // A forked child shares our temp folder; no other thread runs at this point.
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir dir;
    // The report's folder does not exist yet: the handler makes it.
    const std::string path = dir.File("logs/crash_2016_3_7_9_5_2_v33.dmp");
    EXPECT_EXIT(
        {
            platform::InstallCrashHandler(dir.File("logs/crash_early_v.dmp"));
            platform::SetCrashDumpPath(path);
            Segfault();
        },
        ::testing::KilledBySignal(SIGSEGV), "");
    const std::string report = dir.Read("logs/crash_2016_3_7_9_5_2_v33.dmp");
    EXPECT_NE(report.find("signal: 11 (SIGSEGV)"), std::string::npos) << report;
    EXPECT_NE(report.find("address: 0x10"), std::string::npos) << report;
    EXPECT_NE(report.find("thread: "), std::string::npos) << report;
    EXPECT_NE(report.find("backtrace:\n"), std::string::npos) << report;
    EXPECT_EQ(dir.Read("logs/crash_early_v.dmp"), "") << "only the latest path is written";
}

TEST(CrashHandlerDeathTest, AbortLeavesReport)
{
    // A forked child shares our temp folder; no other thread runs at this point.
    GTEST_FLAG_SET(death_test_style, "fast");
    TempDir dir;
    const std::string path = dir.File("crash.dmp");
    EXPECT_EXIT(
        {
            platform::InstallCrashHandler(path);
            std::abort();
        },
        ::testing::KilledBySignal(SIGABRT), "");
    EXPECT_NE(dir.Read("crash.dmp").find("(SIGABRT)"), std::string::npos);
}
