#include "online/Notices.h"

#include "character/PackageList.h"
#include "engine/PlayerProfile.h"
#include "engine/TextTable.h"
#include "engine/Utilities.h"
#include "online/ServiceAddress.h"
#include "online/WebClient.h"

#include <string>

void QueueAchievements()
{
    if (gProfile == nullptr)
        return;
    std::string tags;
    gProfile->Inspect([&tags](const PlayerProfile& p) { tags = p.achievementTags; });
    const std::string link = WebServicePage("myvorn=1");
    for (const std::string& tag : PackageList::SplitNames(tags, ':')) {
        if (tag.empty())
            continue;
        std::string text;
        if (tag == "made_with_us")
            text = Localize("ACH_MADE_WITH_US");
        else if (tag == "dev_program")
            text = Localize("ACH_DEV_PROGRAM");
        else if (tag == "season_1")
            text = Localize("ACH_SEASON_1");
        else if (tag == "season_2")
            text = Localize("ACH_SEASON_2");
        else
            text = FillPlaceholders(Localize("ACH_REFERRAL"), ShortenForDisplay(tag, kShownNameBytes));
        WebClient::AddNews(-1, text, link);
    }
}
