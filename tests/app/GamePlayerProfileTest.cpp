#include "app/GamePlayerProfile.h"

#include "character/PackageList.h"
#include "engine/Services.h"
#include "support/FakeServices.h"
#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <functional>
#include <iterator>
#include <thread>

namespace {

// Alice's profile file in dir, as the program names and keys it.
void ConfigureAlice(GamePlayerProfile& p, const TempDir& dir)
{
    p.path = dir.File("profile.lbd");
    p.header = "secret";
    p.key = "Alice";
    p.formatVersion = 13;
}

// The game fields of a file of the given version, in file order.
std::string GamePayload(int version)
{
    SaveBuffer b;
    b.WriteU8(0);                 // remember login
    b.WriteString("u");           // user (scrambled form, not interpreted here)
    b.WriteString("reserved");
    b.WriteString("p");
    b.WriteString("list");
    b.WriteString("account");
    if (version >= 3) {
        b.WriteString(";newpack");
        b.WriteU8(0);             // login without credentials
    }
    if (version >= 12)
        b.WriteU8(7);             // flag byte C
    if (version >= 13)
        b.WriteU8(1);             // first-run warning accepted
    return b.payload;
}

} // namespace

TEST(GamePlayerProfile, ReadsTheFieldsEachVersionHas)
{
    struct Case {
        int version;
        std::string newPackages;
        std::uint8_t withoutCredentials;
        std::uint8_t flagByteC;
        std::uint8_t warning;
    };
    const Case cases[] = {
        {2, "", 0, 0, 0},          // no new list; login without credentials becomes 0
        {3, ";newpack", 0, 0, 0},
        {11, ";newpack", 0, 0, 0}, // flag byte C and the warning keep their defaults
        {12, ";newpack", 0, 7, 0},
        {13, ";newpack", 0, 7, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version);
        GamePlayerProfile profile;
        SaveBuffer in;
        in.payload = GamePayload(c.version);
        ASSERT_TRUE(profile.ReadExtra(in, c.version));
        EXPECT_EQ(in.Remaining(), 0u);
        EXPECT_EQ(profile.rememberLogin, 0);
        EXPECT_EQ(profile.reservedAccountText, "reserved");
        EXPECT_EQ(profile.packageList, "list");
        EXPECT_EQ(profile.accountPackages, "account");
        EXPECT_EQ(profile.newPackages, c.newPackages);
        EXPECT_EQ(profile.loginWithoutCredentials, c.withoutCredentials);
        EXPECT_EQ(profile.flagByteC, c.flagByteC);
        EXPECT_EQ(profile.warningAccepted, c.warning);
    }
}

TEST(GamePlayerProfile, WriteThenReadRestoresEveryField)
{
    FakeServices services("Alice");
    ScopedServices scope(&services);
    GamePlayerProfile a;
    a.rememberLogin = 0;
    a.loginWithoutCredentials = 0;
    a.flagByteC = 9;
    a.warningAccepted = 1;
    a.SetUser("alice@example");
    a.SetPassword("s3cret");
    a.reservedAccountText = "keep";
    a.SetPackageList("x_prev;y_prev 12");
    a.SetAccountPackages("x_prev");
    a.SetEnabledPackages(";y_prev");
    SaveBuffer buffer;
    a.WriteExtra(buffer);

    GamePlayerProfile b;
    ASSERT_TRUE(b.ReadExtra(buffer, 13));
    EXPECT_EQ(b.rememberLogin, 0);
    EXPECT_EQ(b.loginWithoutCredentials, 0);
    EXPECT_EQ(b.flagByteC, 9);
    EXPECT_EQ(b.warningAccepted, 1);
    EXPECT_EQ(b.User(), "alice@example");
    EXPECT_EQ(b.Password(), "s3cret");
    EXPECT_EQ(b.reservedAccountText, "keep");
    EXPECT_EQ(b.packageList, "x_prev;y_prev 12");
    EXPECT_EQ(b.accountPackages, "x_prev");
    EXPECT_EQ(b.newPackages, ";y_prev");
}

TEST(GamePlayerProfile, CutShortFieldsKeepEveryDefault)
{
    std::string payload = GamePayload(13);
    // Cut inside the account list, and a length field that claims far more than is there.
    std::string hostile = payload.substr(0, 1) + std::string("\xff\xff\xff\x7f", 4) + "u";
    for (const std::string& bytes : {payload.substr(0, payload.size() - 12), hostile, payload.substr(0, 3)}) {
        LogCapture log;
        GamePlayerProfile profile;
        SaveBuffer in;
        in.payload = bytes;
        EXPECT_FALSE(profile.ReadExtra(in, 13));
        EXPECT_EQ(profile.rememberLogin, 1);
        EXPECT_EQ(profile.packageList, kDefaultPackageList);
        EXPECT_EQ(profile.accountPackages, kDefaultAccountPackages);
        EXPECT_TRUE(profile.user.empty());
        EXPECT_TRUE(log.Contains("cut short"));
    }
}

TEST(GamePlayerProfile, CredentialsAreScrambledWithTheUserKey)
{
    FakeServices alice("Alice");
    FakeServices bob("Bob_");
    GamePlayerProfile profile;
    {
        ScopedServices scope(&alice);
        profile.SetUser("someone");
        profile.SetPassword("hunter2");
        EXPECT_NE(profile.user, "someone");
        EXPECT_NE(profile.password, "hunter2");
        EXPECT_EQ(profile.User(), "someone");
        EXPECT_EQ(profile.Password(), "hunter2");
    }
    {
        // Another account's key does not give the text back.
        ScopedServices scope(&bob);
        EXPECT_NE(profile.User(), "someone");
        GamePlayerProfile other;
        other.SetUser("someone");
        EXPECT_NE(other.user, profile.user);
    }
}

TEST(GamePlayerProfile, SettersMarkDirtyOnlyOnChange)
{
    FakeServices alice("Alice");
    ScopedServices scope(&alice);
    GamePlayerProfile profile;
    profile.SetUser("same");
    profile.dirty = 0;
    profile.SetUser("same");
    EXPECT_EQ(profile.dirty, 0);
    profile.SetEnabledPackages("");
    EXPECT_EQ(profile.dirty, 0);

    PackageList::SetReloadPending(false);
    profile.SetPackageList(profile.packageList);
    EXPECT_FALSE(PackageList::ReloadPending());
    EXPECT_EQ(profile.dirty, 0);
    profile.SetPackageList("a_prev");
    EXPECT_TRUE(PackageList::ReloadPending());
    EXPECT_EQ(profile.dirty, 1);
    PackageList::SetReloadPending(false);
}

TEST(GamePlayerProfile, NewAccountPackagesAreMarkedNew)
{
    GamePlayerProfile profile;
    profile.accountPackages.clear();
    profile.SetAccountPackages("a;b");
    EXPECT_EQ(profile.newPackages, "") << "the first list received marks nothing";

    profile.SetAccountPackages("a;b;c;d");
    EXPECT_EQ(profile.newPackages, ";c;d");

    profile.SetAccountPackages("a;b;c;d;e");
    EXPECT_EQ(profile.newPackages, ";c;d;e") << "c and d are already marked";

    profile.SetEnabledPackages("");
    profile.accountPackages = "a";
    profile.DiffPackageLists("a");
    EXPECT_EQ(profile.newPackages, "");
    PackageList::SetReloadPending(false);
}

TEST(GamePlayerProfile, SurvivesAFileRoundTripThroughTheBase)
{
    TempDir dir;
    FakeServices alice("Alice");
    ScopedServices scope(&alice);
    GamePlayerProfile a;
    ConfigureAlice(a, dir);
    a.SetUser("someone");
    a.SetPassword("pw");
    a.warningAccepted = 1;
    a.SetEnabledPackages(";vexa_city_prev");
    a.tutorialState = 2;
    ASSERT_TRUE(a.Save(true));

    GamePlayerProfile b;
    ConfigureAlice(b, dir);
    ASSERT_TRUE(b.Load());
    EXPECT_EQ(b.User(), "someone");
    EXPECT_EQ(b.Password(), "pw");
    EXPECT_EQ(b.warningAccepted, 1);
    EXPECT_EQ(b.newPackages, ";vexa_city_prev");
    EXPECT_EQ(b.packageList, kDefaultPackageList);
    EXPECT_EQ(b.tutorialState, 2u);
}

// The image loader's thread saves the profile while the main thread signs in and receives lists:
// every setter must change its field under the lock the save holds. Each setter runs alone against
// the saving thread, so ThreadSanitizer sees no other locking that could hide an unlocked write;
// the file always holds whole values.
TEST(GamePlayerProfileThreaded, SettersRunWhileAnotherThreadSaves)
{
    TempDir dir;
    FakeServices alice("Alice");
    ScopedServices scope(&alice);
    struct Case {
        const char* setter;
        std::function<void(GamePlayerProfile&, const std::string&)> set;
        std::function<std::string(const GamePlayerProfile&)> stored;
    };
    const Case cases[] = {
        {"SetUser", [](GamePlayerProfile& p, const std::string& n) { p.SetUser("user" + n); },
         [](const GamePlayerProfile& p) { return p.User(); }},
        {"SetPassword", [](GamePlayerProfile& p, const std::string& n) { p.SetPassword("pw" + n); },
         [](const GamePlayerProfile& p) { return p.Password(); }},
        {"SetPackageList", [](GamePlayerProfile& p, const std::string& n) { p.SetPackageList("list" + n); },
         [](const GamePlayerProfile& p) { return p.packageList; }},
        {"SetAccountPackages", [](GamePlayerProfile& p, const std::string& n) { p.SetAccountPackages("account" + n); },
         [](const GamePlayerProfile& p) { return p.accountPackages; }},
        {"SetEnabledPackages", [](GamePlayerProfile& p, const std::string& n) { p.SetEnabledPackages(";new" + n); },
         [](const GamePlayerProfile& p) { return p.newPackages; }},
    };
    const std::string expected[] = {"user99", "pw99", "list99", "account99", ";new99"};
    for (std::size_t c = 0; c < std::size(cases); ++c) {
        SCOPED_TRACE(cases[c].setter);
        GamePlayerProfile profile;
        ConfigureAlice(profile, dir);
        std::atomic<bool> done{false};
        std::thread saver([&] {
            while (!done.load())
                profile.Save(true);
        });
        for (int i = 0; i < 100; ++i)
            cases[c].set(profile, std::to_string(i));
        done = true;
        saver.join();
        ASSERT_TRUE(profile.Save(true));
        GamePlayerProfile back;
        ConfigureAlice(back, dir);
        ASSERT_TRUE(back.Load());
        EXPECT_EQ(cases[c].stored(back), expected[c]);
    }
    PackageList::SetReloadPending(false);
}
