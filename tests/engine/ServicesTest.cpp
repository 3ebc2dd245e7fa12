#include "engine/Services.h"

#include "platform/Platform.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

TEST(SanitiseUserName, KeepsLettersAndTheLastCharacter)
{
    struct Case {
        std::string raw;
        std::string device;
    };
    const Case cases[] = {
        {"Anna Maria", "Anna_Maria"},
        {"jo.doe2", "jo_doe2"},
        {"x-1", "x_1"},
        {"7", "7"},
        {"", ""},
        {"a[b]^_`z", "a[b]^_`z"},
        {"{|}~", "___~"},
        {"J\xc3\xb6rg", "J__rg"},
        {"ab\xc3", "ab\xc3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SanitiseUserName(c.raw), c.device) << c.raw;
}

TEST(PCService, LanguageIsAlwaysEnglish)
{
    PCService service;
    service.languageIndex = 3;
    EXPECT_TRUE(service.InitLanguage());
    EXPECT_EQ(service.languageCode, "en");
    EXPECT_EQ(service.languageIndex, 0);
}

TEST(PCService, UserIdIsTheSanitisedLoginName)
{
    struct Case {
        const char* login;
        const char* id;
    } cases[] = {{"anna.maria", "anna_maria"}, {"root", "root"}, {"jo-2", "jo_2"}, {"", ""}};
    for (const Case& c : cases) {
        platform::SetUserNameFunction([&c] { return std::string(c.login); });
        PCService service;
        EXPECT_EQ(service.GetUserName(), c.id) << c.login;
        EXPECT_EQ(&service.GetUserId(), &service.GetUserName());
    }
    platform::SetUserNameFunction(nullptr);
}

TEST(PCService, ShellOpenStartsBrowserOnlyForWebAddresses)
{
    std::vector<std::vector<std::string>> started;
    platform::SetSpawnFunction([&](const std::vector<std::string>& argv, bool wait) {
        started.push_back(argv);
        EXPECT_FALSE(wait);
        return true;
    });
    LogCapture capture;
    capture.Allow("Refused");
    PCService service;
    service.ShellOpen("https://example.org/a?b=1&c=$(rm -rf ~)");
    service.OpenURL("HTTP://example.org/");
    service.OpenPage("file:///etc/passwd");
    service.OpenURL("javascript:alert(1)");
    service.OpenURL(nullptr);
    service.ShellOpen("https://example.org/\nsecond");
    platform::SetSpawnFunction(nullptr);

    ASSERT_EQ(started.size(), 2u);
    // One argument, untouched: no shell ever sees it.
    EXPECT_EQ(started[0], (std::vector<std::string>{"xdg-open", "https://example.org/a?b=1&c=$(rm -rf ~)"}));
    EXPECT_EQ(started[1], (std::vector<std::string>{"xdg-open", "HTTP://example.org/"}));
    EXPECT_TRUE(capture.Contains("file:///etc/passwd"));
    EXPECT_TRUE(capture.Contains("javascript:alert(1)"));
}
