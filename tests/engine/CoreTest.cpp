#include "engine/Core.h"

#include <gtest/gtest.h>

TEST(CoreSkeleton, PlatformNameIsPc)
{
    EXPECT_EQ(GetPlatformName(), "pc");
}
