#include "gui/GuiLogWatch.h"

#include "engine/Log.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<LogCapture>& Current()
{
    static std::unique_ptr<LogCapture> capture;
    return capture;
}

bool IsGuiTest(const ::testing::TestInfo& test)
{
    const std::string file = test.file() != nullptr ? test.file() : "";
    return file.find("tests/gui/") != std::string::npos;
}

// End events reach listeners in reverse order of registration, so this one reports before the
// result printer: a failure added here counts for the test that just ran.
class GuiLogWatch : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo& test) override
    {
        if (IsGuiTest(test))
            Current() = std::make_unique<LogCapture>(LogCapture::kRecordOnly);
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        std::unique_ptr<LogCapture> capture = std::move(Current());
        if (!capture)
            return;
        for (const std::string& line : capture->UnexpectedErrors())
            ADD_FAILURE() << "Unexpected error line in the log: " << line;
    }
};

[[maybe_unused]] const bool kInstalled =
    (::testing::UnitTest::GetInstance()->listeners().Append(new GuiLogWatch), true);

} // namespace

LogCapture& GuiLog()
{
    if (!Current()) {
        ADD_FAILURE() << "GuiLog() used outside a GUI test";
        std::abort();
    }
    return *Current();
}

TEST(GuiLogWatch, ErrorLinesOfAGuiTestAreCaught)
{
    LogText(kLogFile, "Failed to open a picture");
    LogText(kLogFile, "A plain line");
    EXPECT_EQ(GuiLog().UnexpectedErrors(), std::vector<std::string>{"Failed to open a picture"});
    // Cleared, or this test would fail for the line it wrote on purpose.
    GuiLog().Clear();
}
