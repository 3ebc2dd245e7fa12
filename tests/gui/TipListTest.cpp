#include "gui/TipList.h"

#include "engine/TextTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

class TipListTest : public ::testing::Test {
protected:
    // Tips another test built are not this one's to see.
    void SetUp() override { TipList::Destroy(); }

    void TearDown() override
    {
        TipList::SetRandomSource({});
        TipList::Destroy();
        TextTable::Clear();
    }
};

} // namespace

TEST_F(TipListTest, EveryTipOncePerRoundInTheGeneratorsOrder)
{
    // Before the tips are read there is nothing to show.
    TipList::ShowRandom();
    EXPECT_TRUE(TipList::Bag().empty());

    TextTable::Clear();
    TextTable::Parse("[TIP_COLOR]{Colour}[TIP_MOVE]{Move}[TIP_RESET]{Reset}");
    TipList::Build();
    ASSERT_EQ(TipList::Tips().size(), 13u);
    EXPECT_EQ(TipList::Tips()[0], "Colour");
    EXPECT_EQ(TipList::Tips()[1], "Move");
    EXPECT_EQ(TipList::Tips()[12], "Reset");
    // A key the language file lacks shows the marker.
    EXPECT_EQ(TipList::Tips()[2], Localize("TIP_NO_SUCH_KEY"));

    const struct {
        int random;
        std::vector<int> shownInOrder;
    } cases[] = {
        // Always the first left: the fixed order.
        {0, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}},
        // A value past the bag wraps; negative values from a source stay in range.
        {-1, {}},
        {25, {}},
    };
    for (const auto& c : cases) {
        TipList::SetRandomSource([&c] { return c.random; });
        std::vector<int> shown;
        for (int call = 0; call < 13; ++call) {
            const std::vector<int> before = TipList::Bag();
            TipList::ShowRandom();
            const std::vector<int>& after = TipList::Bag();
            if (call < 12) {
                ASSERT_EQ(after.size(), before.size() - 1) << c.random << " call " << call;
                for (int tip : before) {
                    if (std::find(after.begin(), after.end(), tip) == after.end()) {
                        shown.push_back(tip);
                    }
                }
            } else {
                // The last one of the round: a new round starts with every tip.
                ASSERT_EQ(after.size(), 13u);
                shown.push_back(before.front());
            }
        }
        std::vector<int> sorted = shown;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})) << c.random;
        if (!c.shownInOrder.empty()) {
            EXPECT_EQ(shown, c.shownInOrder);
        }
    }
}
