#include "engine/Log.h"
#include "engine/Utilities.h"
#include "online/OnlineTestSupport.h"
#include "platform/Platform.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <functional>
#include <string>
#include <vector>

namespace {

const char* const kServiceUser = "tolmix2HD";
const char* const kServicePassword = "47q!w83";

int CountEvents(const OnlineHarness& h, const std::string& name)
{
    int count = 0;
    for (const WebEvent& e : h.events)
        count += e.name == name ? 1 : 0;
    return count;
}

TEST(WebClientThreaded, SessionOpensWithTokenLinkCacheAndNews)
{
    LogCapture capture;
    OnlineHarness h;
    h.WriteArchive("pkg", 5000);
    h.WriteScenario("News {\n [ Id=\"2\" Message=\"First\" Link=\"@host@/a\" ]\n [ Id=\"3\" Message=\"Second\" Link=\"x\" ]\n}\n"
                    "Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" ]\n}\n");
    ASSERT_TRUE(h.StartService());
    WebClient::SendAuth(h.Endpoint(), kServiceUser, kServicePassword);
    ASSERT_TRUE(h.PumpUntil([&] { return h.SawEvent("auth") && WebClient::IsIdle(); }));

    EXPECT_EQ(h.events.front().payload.substr(0, 3), "Ok;");
    const std::string token = WebClient::SessionToken();
    EXPECT_FALSE(token.empty());
    EXPECT_EQ(h.profile.linkCacheText, h.service.LinkCacheText());
    EXPECT_EQ(LinkCache::Size(), 1u);
    EXPECT_EQ(WebClient::NewsCount(), 2u);
    EXPECT_FALSE(WebClient::IsUpdateAvailable());

    const std::vector<ServiceHit> hits = h.service.Hits();
    ASSERT_EQ(hits.size(), 3u);
    EXPECT_EQ(hits[0].body.find("token="), std::string::npos);
    EXPECT_EQ(hits[0].params.at("pass"), kServicePassword);
    EXPECT_EQ(hits[0].params.at("platform"), "pc");
    for (std::size_t i = 1; i < hits.size(); ++i)
        EXPECT_EQ(hits[i].params.at("token"), token);

    // The same link-cache CRC and a seen news id ask for nothing more.
    h.profile.lastNewsId = 3;
    h.events.clear();
    WebClient::SendAuth(h.Endpoint(), kServiceUser, kServicePassword);
    ASSERT_TRUE(h.PumpUntilEvent("auth"));
    EXPECT_EQ(h.service.RequestCount("linkcache"), 1);
    EXPECT_EQ(h.service.RequestCount("news"), 1);
}

std::string B64(const std::string& text)
{
    return Base64Encode(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// The decoded answer of a framed service answer ("" when it is none).
std::string Unframe(const httplib::Result& result)
{
    if (!result || result->status != 200 || result->body.find(';') == std::string::npos)
        return std::string();
    return Base64Decode(result->body.substr(result->body.find(';') + 1));
}

// The stand-in must accept what the protocol allows, or the program's tests could not notice the
// program breaking those paths.
TEST(WebClientThreaded, StandInAcceptsWhatTheProtocolAllows)
{
    OnlineHarness h;
    const std::string bytes = h.WriteArchive("pkg", 3000);
    h.WriteScenario("Accounts {\n [ User=\"u@x.test\" Password=\"pw\" Tags=\"t\" Packages=\"pkg\" ]\n}\n"
                    "Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" ]\n}\n");
    ASSERT_TRUE(h.StartService());
    httplib::Client client(h.service.HostUrl());
    const char* const form = "application/x-www-form-urlencoded";
    const std::string auth = Unframe(client.Post(
        "/tavisk/client2.php", "auth=1&user=" + B64(kServiceUser) + "&pass=" + B64(kServicePassword), form));
    ASSERT_EQ(auth.compare(0, 3, "Ok;"), 0);
    const std::string token = "&token=" + B64(auth.substr(3, auth.find(';', 3) - 3));
    auto login = [&](const std::string& params) {
        return Unframe(client.Post("/tavisk/client2.php", "login=1" + token + params, form));
    };
    struct Case {
        const char* label;
        std::function<std::string()> ask;
        std::string expected;
    };
    auto body = [](const httplib::Result& r) { return r && r->status == 200 ? r->body : std::string(); };
    const std::string known = "&device=" + B64("dev1") + "&user=" + B64("u@x.test") + "&pass=" + B64("pw");
    const std::vector<Case> cases = {
        {"a download sent as POST", [&] { return body(client.Post("/files/pkg.lba", "login=1", "text/plain")); }, bytes},
        {"an unknown device alone", [&] { return login("&device=" + B64("dev1")); }, "ERR_LOGIN"},
        {"a device with credentials", [&] { return login(known); }, "Ok;t;pkg"},
        {"that device alone", [&] { return login("&device=" + B64("dev1")); }, "Ok;t;pkg"},
        {"the account page", [&] { return body(client.Get("/tavisk/client.php?myvorn=1")).substr(0, 15); },
         "<!DOCTYPE html>"},
        {"the questions page", [&] { return body(client.Get("/tavisk/client.php?faq=1")).substr(0, 15); },
         "<!DOCTYPE html>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_TRUE(c.ask() == c.expected);
    }
}

struct MalformedCase {
    const char* label;
    std::string raw; // the whole body the service sends
    const char* event;
};

TEST(WebClientThreaded, AnswersThatAreNoAnswerEndOfflineAndOnlyAProxyPageKeepsTheRequest)
{
    const std::vector<MalformedCase> cases = {
        {"letters for a length", "abc;T2s=", "Offline"},
        {"length over the cap", "99999999;T2s=", "Offline"},
        {"body ends early", "20;T2s=", "Offline"},
        {"invalid base64", "4;@@@@", "Offline"},
        {"NUL byte", std::string("4;T2\0=", 6), "Offline"},
        {"empty body", "", "Offline"},
        {"proxy page", "<html>\n<body>sign in</body>", "proxy"},
        {"carriage return in the answer", "4;T2\rs=", "Offline"},
        {"bytes after the answer", "4;T2s=trailing", "auth"},
    };
    for (const MalformedCase& c : cases) {
        SCOPED_TRACE(c.label);
        LogCapture capture(LogCapture::kRecordOnly);
        OnlineHarness h;
        h.dir.Write("scenario/auth.raw", c.raw);
        h.WriteScenario("Answers {\n [ Request=\"auth\" RawFile=\"auth.raw\" ]\n}\n");
        ASSERT_TRUE(h.StartService());
        WebClient::SendAuth(h.Endpoint(), kServiceUser, kServicePassword);
        ASSERT_TRUE(h.PumpUntilEvent(c.event));
        for (int i = 0; i < 30; ++i)
            WebClient::Pump(0.016f);
        EXPECT_EQ(WebClient::PendingRequests(), std::string(c.event) == "proxy" ? 1u : 0u);
        EXPECT_EQ(CountEvents(h, c.event), 1); // raised once, not every frame
        EXPECT_EQ(WebClient::IsHalted(), std::string(c.event) == "proxy");
        EXPECT_TRUE(WebClient::SessionToken().empty());
        for (const CapturedLine& line : capture.Lines())
            EXPECT_EQ(line.text.find(kServicePassword), std::string::npos) << line.text;
    }
}

TEST(WebClientThreaded, StallIsAnOutageOnlyWhileATransferRunsAndStopEndsIt)
{
    for (const char* where : {"before", "after"}) {
        SCOPED_TRACE(where);
        LogCapture capture(LogCapture::kRecordOnly);
        OnlineHarness h;
        h.WriteScenario(std::string("Answers {\n [ Request=\"auth\" Stall=\"") + where + "\" ]\n}\n");
        ASSERT_TRUE(h.StartService());
        WebClient::SendAuth(h.Endpoint(), kServiceUser, kServicePassword);
        ASSERT_TRUE(h.PumpUntil([&] { return h.service.RequestCount("auth") == 1; }));
        h.Advance(14999);
        for (int i = 0; i < 20; ++i)
            WebClient::Pump(5.0f); // long frames alone are no outage
        EXPECT_FALSE(h.SawEvent("Offline"));
        h.Advance(2);
        // The service's first bytes may reach the client only after the clock was moved on (a busy
        // machine); they restart the stall, so the clock keeps moving until the outage is seen.
        ASSERT_TRUE(h.PumpUntil([&] {
            if (h.SawEvent("Offline"))
                return true;
            h.Advance(1000);
            return false;
        }));
        const std::uint64_t start = platform::MonotonicMilliseconds();
        WebClient::Stop();
        EXPECT_LT(platform::MonotonicMilliseconds() - start, 2000u);
        EXPECT_EQ(WebClient::PendingRequests(), 0u) << "nothing waits for an answer that will not come";
        h.service.ReleaseStalls();
    }
}

TEST(WebClientThreaded, ServiceDownAtStartGoesOfflineOnceAndANewSessionReachesItLater)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    ASSERT_TRUE(h.StartService());
    const int port = h.service.Port();
    const std::string endpoint = h.Endpoint();
    h.service.Stop();
    WebClient::SendAuth(endpoint, kServiceUser, kServicePassword);
    ASSERT_TRUE(h.PumpUntilEvent("Offline"));
    for (int i = 0; i < 30; ++i)
        WebClient::Pump(0.016f);
    EXPECT_EQ(CountEvents(h, "Offline"), 1);
    EXPECT_EQ(WebClient::PendingRequests(), 0u);

    // The service returns; the next session reaches it.
    ASSERT_TRUE(h.StartService(port));
    WebClient::SendAuth(endpoint, kServiceUser, kServicePassword);
    ASSERT_TRUE(h.PumpUntilEvent("auth"));
    EXPECT_FALSE(WebClient::SessionToken().empty());
}

struct DownloadCase {
    const char* label;
    std::string knobs;
    std::function<void(OnlineHarness&, const std::string& bytes)> prepare;
    bool installed;
    std::string logged;
    std::string range; // the Range header of the last GET ("" when not checked)
    std::string end = "ok;pkg;100"; // the download's last event
};

TEST(WebClientThreaded, DownloadsInstallOnlyWhatMatchesTheList)
{
    const std::size_t size = 300000;
    auto leftover = [](OnlineHarness& h, const std::string& bytes) { h.dir.Write("dat/pkg.lbt", bytes.substr(0, 1000)); };
    auto stale = [](OnlineHarness& h, const std::string& bytes) { h.dir.Write("dat/pkg.lbt", bytes + "12345"); };
    auto blockTarget = [](OnlineHarness& h, const std::string&) { h.dir.Write("dat/pkg.lba/inside", "x"); };
    auto refuse = [](OnlineHarness& h, const std::string&) {
        h.dir.Write("dat/pkg.lba", "OLD");
        h.service.Stop(); // nothing listens at the listed address any more
    };
    const std::vector<DownloadCase> cases = {
        {"whole", "", nullptr, true, "pkg installed", ""},
        {"cut, then resumed", "CutAfter=\"1000\" CutTimes=\"1\"", nullptr, true, "transfer ended early", "bytes=1000-"},
        {"range ignored", "CutAfter=\"1000\" CutTimes=\"1\" IgnoreRange=\"1\"", nullptr, true, "server cannot resume", ""},
        {"leftover temp file", "", leftover, true, "pkg installed", "bytes=1000-"},
        {"stale temp file", "", stale, true, "discarding stale temp file", ""},
        {"listed larger", "ListedSize=\"300010\"", nullptr, false, "pkg incorrect size: 300010 != 300000", "",
         "failed;pkg;size"},
        {"listed smaller", "ListedSize=\"299990\"", nullptr, false, "longer than listed", "", "failed;pkg;size"},
        {"wrong crc", "ListedCrc=\"12345\"", nullptr, false, "pkg crc mismatch: 12345", "", "failed;pkg;crc"},
        {"not found", "Status=\"404\"", nullptr, false, "HTTP status 404", "", "failed;pkg;http;404"},
        {"server error", "Status=\"500\"", nullptr, false, "HTTP status 500", "", "failed;pkg;http;500"},
        {"no bytes", "Empty=\"1\"", nullptr, false, "pkg download sent no bytes", "", "failed;pkg;empty"},
        {"no bytes where none are listed", "Empty=\"1\" ListedSize=\"0\"", nullptr, false,
         "pkg download sent no bytes", "", "failed;pkg;empty"},
        {"refused connection", "", refuse, false, "pkg not installed: incomplete", "", "failed;pkg;connection"},
        {"html page with 200", "Html=\"1\"", nullptr, false, "pkg not installed", "", "failed;pkg;size"},
        {"longer body", "Extra=\"100\"", nullptr, false, "longer than listed", "", "failed;pkg;size"},
        {"rename fails", "", blockTarget, false, "pkg downloaded as patch file", ""},
    };
    for (const DownloadCase& c : cases) {
        SCOPED_TRACE(c.label);
        LogCapture capture(LogCapture::kRecordOnly);
        OnlineHarness h;
        const std::string bytes = h.WriteArchive("pkg", size);
        h.WriteScenario("Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" " + c.knobs + " ]\n}\n");
        ASSERT_TRUE(h.StartService());
        h.UseServiceLinkCache();
        if (c.prepare)
            c.prepare(h, bytes);
        else
            h.dir.Write("dat/pkg.lba", "OLD");
        ASSERT_TRUE(WebClient::EnqueueDownload("pkg", "dat/pkg.lba"));
        ASSERT_TRUE(h.PumpUntilEvent("downloads", "finished"));
        EXPECT_TRUE(h.SawEvent("download", "started;pkg"));
        EXPECT_EQ(h.events.end()[-2].payload, c.end) << "then \"downloads\" \"finished\"";
        EXPECT_TRUE(capture.Contains(c.logged)) << c.logged;
        if (c.installed) {
            EXPECT_TRUE(h.Read("dat/pkg.lba") == bytes);
        } else if (!c.prepare || std::string(c.label) == "refused connection") {
            EXPECT_EQ(h.Read("dat/pkg.lba"), "OLD"); // a failed download never replaces what works
        }
        if (std::string(c.label) == "rename fails") {
            EXPECT_TRUE(h.Read("dat/pkg.lbp") == bytes);
        }
        EXPECT_FALSE(h.Exists("dat/pkg.lbt")) << "temp file left behind";
        const std::vector<ServiceHit> hits = h.service.Hits();
        ASSERT_TRUE(!hits.empty() || !h.service.IsRunning());
        for (const ServiceHit& hit : hits) {
            EXPECT_EQ(hit.method, "GET");
            EXPECT_TRUE(hit.body.empty());
            EXPECT_FALSE(hit.hasToken);
        }
        if (!c.range.empty()) {
            EXPECT_EQ(hits.back().range, c.range);
        }
    }
}

TEST(WebClientThreaded, EveryEventWaitingIsHandedOverInOneStep)
{
    OnlineHarness h;
    for (const char* name : {"a", "b", "c"})
        WebClient::PushEvent("download", std::string("started;") + name);
    WebClient::Pump(0.016f);
    EXPECT_EQ(h.events.size(), 3u) << "a pass of many downloads must not wait for frames";
}

TEST(WebClientThreaded, AQueueClearedAndRefilledDuringATransferKeepsItsNewJobs)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    h.WriteArchive("slow", 2000);
    const std::string next = h.WriteArchive("next", 3000);
    h.WriteScenario("Archives {\n [ Name=\"slow\" File=\"archives/slow.lba\" Stall=\"1\" ]\n"
                    " [ Name=\"next\" File=\"archives/next.lba\" ]\n}\n");
    ASSERT_TRUE(h.StartService());
    h.UseServiceLinkCache();
    ASSERT_TRUE(WebClient::EnqueueDownload("slow", "dat/slow.lba"));
    ASSERT_TRUE(h.PumpUntil([&] { return h.service.DownloadCount("slow") == 1; }));
    // While it runs, the queue is dropped and filled again with the running one behind another.
    WebClient::ClearDownloads();
    ASSERT_TRUE(WebClient::EnqueueDownload("next", "dat/next.lba"));
    ASSERT_TRUE(WebClient::EnqueueDownload("slow", "dat/slow.lba"));
    h.service.ReleaseStalls();
    ASSERT_TRUE(h.PumpUntilEvent("downloads", "finished"));
    EXPECT_TRUE(h.Read("dat/next.lba") == next);
    int started = 0;
    for (const WebEvent& e : h.events)
        started += e.payload == "started;slow" ? 1 : 0;
    EXPECT_EQ(started, 1) << "the finished job left the queue, not the one in front of it";
}

TEST(WebClientThreaded, NamesThatCannotBeFetchedSafelyAreNeverQueued)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    LinkCache::RebuildFrom("http://127.0.0.1:9/files/;ok 10 5;other 10 6");
    EXPECT_FALSE(WebClient::EnqueueDownload("unlisted", "dat/unlisted.lba"));
    EXPECT_FALSE(WebClient::EnqueueDownload("../x", "dat/../x.lba"));
    EXPECT_FALSE(WebClient::EnqueueDownload(".ok", "dat/.ok.lba"));
    EXPECT_TRUE(WebClient::EnqueueDownload("ok", "dat/ok.lba"));
    EXPECT_TRUE(WebClient::EnqueueDownload("ok", "dat/ok.lba")); // already queued: once
    EXPECT_EQ(WebClient::PendingDownloads(), 1u);
    WebClient::ClearDownloads();
    EXPECT_TRUE(WebClient::EnqueueDownload("ok", "dat/ok.lba"));
    WebClient::ClearDownloads();
    EXPECT_FALSE(WebClient::EnqueueDownload("ok", "dat/ok.lba")); // a third attempt in one run
    LinkCache::RebuildFrom("file:///etc/;other 10 6");
    EXPECT_FALSE(WebClient::EnqueueDownload("other", "dat/other.lba"));
    EXPECT_EQ(WebClient::PendingDownloads(), 0u);
    EXPECT_TRUE(capture.Contains("unlisted is not listed in the crc cache"));
    // A pass over a long list: one line for each kind of refusal, however many names.
    LogTally refusals{"Archive", "archives"};
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(WebClient::EnqueueDownload("gone" + std::to_string(i), "dat/gone.lba", &refusals));
    EXPECT_FALSE(capture.Contains("gone0 is not listed"));
    refusals.Flush();
    EXPECT_TRUE(capture.Contains("1000 archives are not listed in the crc cache, not downloaded: gone0 gone1"));
}

TEST(WebClientThreaded, TempFileThatCannotBeCreatedFailsTheJob)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    h.WriteArchive("pkg", 2000);
    h.WriteScenario("Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" ]\n}\n");
    ASSERT_TRUE(h.StartService());
    h.UseServiceLinkCache();
    ASSERT_TRUE(WebClient::EnqueueDownload("pkg", "missing_folder/pkg.lba"));
    ASSERT_TRUE(h.PumpUntilEvent("downloads", "finished"));
    EXPECT_TRUE(capture.Contains("pkg couldn't create temp file"));
    EXPECT_FALSE(h.Exists("missing_folder/pkg.lba"));
}

TEST(WebClientThreaded, DownloadCutByAnOutageResumesInALaterPass)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    const std::string bytes = h.WriteArchive("pkg", 200000);
    h.WriteScenario("Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" CutAfter=\"5000\" ]\n}\n");
    ASSERT_TRUE(h.StartService());
    const int port = h.service.Port();
    h.UseServiceLinkCache();
    ASSERT_TRUE(WebClient::EnqueueDownload("pkg", "dat/pkg.lba"));
    ASSERT_TRUE(h.PumpUntilEvent("downloads", "finished"));
    EXPECT_TRUE(h.SawEvent("download", "failed;pkg;interrupted")) << "the body broke off; the server was reached";
    EXPECT_FALSE(h.Exists("dat/pkg.lba"));
    const std::string kept = h.Read("dat/pkg.lbt"); // kept for the resume: each retry added a piece
    EXPECT_EQ(kept.size(), 15000u);
    EXPECT_TRUE(kept == bytes.substr(0, kept.size()));

    h.service.Stop();
    h.WriteScenario("Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" ]\n}\n");
    ASSERT_TRUE(h.StartService(port));
    h.events.clear();
    ASSERT_TRUE(WebClient::EnqueueDownload("pkg", "dat/pkg.lba"));
    ASSERT_TRUE(h.PumpUntilEvent("downloads", "finished"));
    EXPECT_TRUE(h.Read("dat/pkg.lba") == bytes);
    EXPECT_EQ(h.service.Hits().back().range, "bytes=15000-");
}

// Twenty downloads failing one after the other end a pass. Only failures count, and only those of
// one pass: the count starts afresh with each pass, and a download the client stops is no failure.
TEST(WebClientThreaded, TwentyFailuresInARowOfOnePassEndIt)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    WebTimeLimits limits;
    limits.retryDelayMilliseconds = 0;
    limits.downloadRetries = 0; // the stop below cuts the last attempt short
    WebClient::SetTimeLimits(limits);
    const std::string good = h.WriteArchive("good", 2000);
    h.WriteArchive("slow", 2000);
    std::string scenario = "Archives {\n [ Name=\"good\" File=\"archives/good.lba\" ]\n"
                           " [ Name=\"slow\" File=\"archives/slow.lba\" Stall=\"1\" ]\n";
    for (int i = 0; i < 19; ++i)
        scenario += " [ Name=\"gone" + std::to_string(i) + "\" ListedSize=\"1000\" ListedCrc=\"7\" ]\n";
    h.WriteScenario(scenario + "}\n");
    ASSERT_TRUE(h.StartService());
    h.UseServiceLinkCache();
    const auto queueGone = [] {
        for (int i = 0; i < 19; ++i) {
            const std::string name = "gone" + std::to_string(i);
            ASSERT_TRUE(WebClient::EnqueueDownload(name, "dat/" + name + ".lba"));
        }
    };

    queueGone(); // 19 failures: one short
    ASSERT_TRUE(h.PumpUntilEvent("downloads", "finished"));
    EXPECT_FALSE(h.SawEvent("downloads", "notfetched;1"));

    // The next pass: 19 failures again, then one the client stops (a halt) before the last.
    h.events.clear();
    queueGone();
    for (const char* name : {"slow", "good"})
        ASSERT_TRUE(WebClient::EnqueueDownload(name, std::string("dat/") + name + ".lba"));
    ASSERT_TRUE(h.PumpUntil([&] { return h.service.DownloadCount("slow") == 1 || WebClient::IsIdle(); }));
    ASSERT_EQ(h.service.DownloadCount("slow"), 1) << "the last pass's failures were counted into this one";
    WebClient::SetHalted(true);
    std::string slowEnd;
    ASSERT_TRUE(h.PumpUntil([&] {
        for (const WebEvent& e : h.events) {
            if (e.payload.rfind("failed;slow;", 0) == 0)
                slowEnd = e.payload;
        }
        return !slowEnd.empty();
    }));
    EXPECT_EQ(slowEnd, "failed;slow;stopped");
    WebClient::SetHalted(false);
    ASSERT_TRUE(h.PumpUntil([] { return WebClient::IsIdle(); }));
    EXPECT_FALSE(h.SawEvent("downloads", "notfetched;1")) << "a stopped download counted as a failure";
    EXPECT_TRUE(h.SawEvent("download", "ok;good;100"));
    EXPECT_TRUE(h.SawEvent("downloads", "finished"));
    EXPECT_TRUE(h.Read("dat/good.lba") == good);
    EXPECT_FALSE(WebClient::DownloadsGivenUp());
    h.service.ReleaseStalls();
}

TEST(WebClientThreaded, ExitWhileATransferRunsEndsWithinTwoSeconds)
{
    LogCapture capture(LogCapture::kRecordOnly);
    OnlineHarness h;
    h.WriteArchive("pkg", 100000);
    h.WriteScenario("Archives {\n [ Name=\"pkg\" File=\"archives/pkg.lba\" Stall=\"1\" ]\n}\n");
    ASSERT_TRUE(h.StartService());
    h.UseServiceLinkCache();
    ASSERT_TRUE(WebClient::EnqueueDownload("pkg", "dat/pkg.lba"));
    ASSERT_TRUE(h.PumpUntil([&] { return h.service.DownloadCount("pkg") == 1; }));
    const std::uint64_t start = platform::MonotonicMilliseconds();
    WebClient::Stop();
    EXPECT_LT(platform::MonotonicMilliseconds() - start, 2000u);
    EXPECT_FALSE(h.Exists("dat/pkg.lba"));
    h.service.ReleaseStalls();
}

} // namespace
