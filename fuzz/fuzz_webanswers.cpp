// Any bytes as a run of web answers after their framing, separated by byte 1; the first byte of
// each picks the request it answers. What the client and the session make of them (the session
// token aside: auth, news, login tags and account packages, the package list, the link cache) is
// taken as far as the profile, the notice queue and the package list, without a network.
#include "ScratchFolder.h"
#include "app/GamePlayerProfile.h"
#include "app/OnlineSession.h"
#include "character/PackageList.h"
#include "online/WebClient.h"
#include "online/WebClientState.h"
#include "platform/Platform.h"

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace {

const char* const kAnswerNames[] = {"auth", "news", "login", "packages", "linkcache", "other"};
constexpr std::size_t kMaxAnswers = 8;
// Enough frames to hand over every event an answer raises (one per frame).
constexpr int kFramesPerAnswer = 6;

bool SetUpOnce()
{
    if (!EnterScratchFolder())
        return false;
    // Opened pages and started programs go nowhere.
    platform::SetSpawnFunction([](const std::vector<std::string>&, bool) { return true; });
    return true;
}

void Deliver(const std::string& name, const std::string& text)
{
    {
        WebState& state = GetWebState();
        std::lock_guard<std::mutex> guard(state.lock);
        WorkerResult result;
        result.kind = ResultKind::kAnswer;
        result.name = name;
        result.text = text;
        state.results.push_back(std::move(result));
    }
    for (int frame = 0; frame < kFramesPerAnswer; ++frame)
        WebClient::Pump(0.0f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool ready = SetUpOnce();
    if (!ready || size == 0)
        return 0;
    GamePlayerProfile profile;
    profile.path = "profile.lbd";
    profile.header = "secret";
    profile.formatVersion = 13;
    gProfile = &profile;
    PackageList::SetProfile(&profile);
    OnlineSession session(profile);

    WebClient::Reset();
    // Requests the answers queue are never sent: the client finds itself offline instead.
    WebClient::SetOnlineTest([] { return false; });
    WebClient::SetEventHook(
        [&session](const std::string& name, const std::string& payload) { session.OnResponse(name, payload); });

    std::vector<std::string> answers(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] != 1)
            answers.back() += static_cast<char>(data[i]);
        else if (answers.size() < kMaxAnswers)
            answers.emplace_back();
        else
            break;
    }
    for (const std::string& answer : answers) {
        if (answer.empty())
            continue;
        const std::size_t pick = static_cast<unsigned char>(answer[0]) % (sizeof kAnswerNames / sizeof *kAnswerNames);
        Deliver(kAnswerNames[pick], answer.substr(1));
    }

    // The notices in the order the main menu shows them, then the list the menus are built from.
    NewsItem item;
    while (WebClient::PeekNews(item))
        WebClient::PopNews(true, true);
    PackageList::Load();
    PackageList::Destroy();

    WebClient::Reset();
    PackageList::SetProfile(nullptr);
    gProfile = nullptr;
    return 0;
}
