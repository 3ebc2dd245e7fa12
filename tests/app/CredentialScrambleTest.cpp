// Stored credentials must read back after any change to the code: the bytes a given user id gives
// are pinned here, computed outside the program.

#include "app/GamePlayerProfile.h"

#include "engine/Services.h"
#include "support/FakeServices.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(CredentialScramble, KnownUserIdsGiveKnownBytes)
{
    struct Case {
        std::string userId;
        std::string text;
        std::vector<unsigned char> stored;
    };
    const Case cases[] = {
        {"Alice", "someone", {0x29, 0x77, 0xef, 0x25, 0xca, 0x5f, 0x8b}},
        {"Bob_", "hunter2", {0xfd, 0x94, 0xa6, 0x1e, 0xc4, 0xd8, 0xcf}},
        // A byte above 127 counts as negative in the seed.
        {"J\xe9r", "pw", {0xbc, 0x66}},
        {"", "abc", {0x61, 0xbe, 0x67}},
    };
    for (const Case& c : cases) {
        FakeServices user(c.userId);
        ScopedServices scope(&user);
        GamePlayerProfile profile;
        profile.SetUser(c.text);
        profile.SetPassword(c.text);
        EXPECT_EQ(std::vector<unsigned char>(profile.user.begin(), profile.user.end()), c.stored) << c.userId;
        EXPECT_EQ(std::vector<unsigned char>(profile.password.begin(), profile.password.end()), c.stored) << c.userId;
    }
}
