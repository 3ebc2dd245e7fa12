#include "engine/PlayerProfile.h"
#include "engine/Services.h"
#include "engine/TextTable.h"
#include "online/Notices.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records the pages it is asked to open instead of starting a browser.
class RecordingServices : public PCService {
public:
    void OpenURL(const char* address) override { opened.push_back(address); }
    std::vector<std::string> opened;
};

class NoticesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WebClient::Reset();
        profile.path = dir.File("profile.lbd");
        profile.header = "secret";
        profile.key = "user";
        profile.formatVersion = 13;
        profile.lastNewsId = 5;
        gProfile = &profile;
        previousServices = gServices;
        gServices = &services;
        SetWebServiceHostOverride("http://127.0.0.1:9");
        TextTable::Clear();
        TextTable::Parse("[ACH_SEASON_1]{Season one}[ACH_REFERRAL]{You brought %n along}");
    }
    void TearDown() override
    {
        WebClient::Reset();
        gProfile = nullptr;
        gServices = previousServices;
        SetWebServiceHostOverride("");
        TextTable::Clear();
    }
    std::vector<NewsItem> Queue()
    {
        std::vector<NewsItem> out;
        NewsItem item;
        while (WebClient::PeekNews(item)) {
            out.push_back(item);
            WebClient::PopNews(false, false);
        }
        return out;
    }

    TempDir dir;
    PlayerProfile profile;
    RecordingServices services;
    Services* previousServices = nullptr;
};

TEST_F(NoticesTest, QueueKeepsNewUnseenNoticesOnce)
{
    WebClient::AddNews(5, "seen already", "http://a/");
    WebClient::AddNews(6, "", "http://a/");
    WebClient::AddNews(6, "new", "http://a/");
    WebClient::AddNews(6, "new", "http://a/");
    WebClient::AddNews(-1, "achievement", "http://a/");
    WebClient::AddNews(-1, "achievement", "http://a/");
    WebClient::AddNews(-7, "negative id from the service", "http://a/");
    const std::vector<NewsItem> queue = Queue();
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[0].message, "new");
    EXPECT_EQ(queue[1].id, -1);
}

TEST_F(NoticesTest, AnsweringRecordsNewsOpensOnlyWebLinksAndClearsTagsAfterTheLastAchievement)
{
    profile.achievementTags = "season_1:someone";
    QueueAchievements();
    WebClient::AddNews(9, "news", "file:///etc/passwd");
    ASSERT_EQ(WebClient::NewsCount(), 3u);
    NewsItem first;
    ASSERT_TRUE(WebClient::PeekNews(first));
    EXPECT_EQ(first.message, "Season one");
    EXPECT_EQ(first.link, "http://127.0.0.1:9/tavisk/index.php?myvorn=1");

    EXPECT_TRUE(WebClient::PopNews(true, true)); // not the last achievement: tags stay
    EXPECT_EQ(profile.achievementTags, "season_1:someone");
    ASSERT_TRUE(WebClient::PeekNews(first));
    EXPECT_EQ(first.message, "You brought someone along");
    EXPECT_TRUE(WebClient::PopNews(true, true));
    EXPECT_EQ(profile.achievementTags, "season_1:someone"); // the news notice is still queued
    EXPECT_TRUE(WebClient::PopNews(true, true));
    EXPECT_EQ(profile.lastNewsId, 9u);
    EXPECT_FALSE(WebClient::PopNews(true, true));
    // Two web pages opened; the file address was refused.
    EXPECT_EQ(services.opened.size(), 2u);

    QueueAchievements();
    ASSERT_EQ(WebClient::NewsCount(), 2u);
    WebClient::PopNews(false, true);
    WebClient::PopNews(false, true);
    EXPECT_EQ(profile.achievementTags, "");
}

} // namespace
