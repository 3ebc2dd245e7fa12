#include "platform/Platform.h"
#include "platform/LargeBufferPool.h"

#include "support/LogCapture.h"
#include "support/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

// Sets an environment variable for a scope (tests in this binary run one at a time).
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name(name)
    {
        const char* old = std::getenv(name);
        hadValue = old != nullptr;
        if (hadValue)
            previous = old;
        if (value != nullptr)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (hadValue)
            setenv(name, previous.c_str(), 1);
        else
            unsetenv(name);
    }

private:
    const char* name;
    bool hadValue = false;
    std::string previous;
};

bool IsFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

TEST(PlatformWebAddress, OnlyHttpAndHttps)
{
    struct Case {
        std::string address;
        bool accepted;
    };
    const Case cases[] = {
        {"http://example.org", true},
        {"https://example.org/x?y=1", true},
        {"HtTpS://example.org", true},
        {"https://", false},
        {"ftp://example.org", false},
        {"file:///etc/passwd", false},
        {"-n http://example.org", false},
        {"httpx://example.org", false},
        {"https://example.org/\r\nHost: x", false},
        {"", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::IsWebAddress(c.address), c.accepted) << c.address;
}

TEST(PlatformDataFolder, XdgDataHomeElseHomeLocalShare)
{
    TempDir dir;
    {
        ScopedEnv xdg("XDG_DATA_HOME", (dir.Path() + "/xdg").c_str());
        EXPECT_EQ(platform::PerUserDataFolder("Varnoth"), dir.Path() + "/xdg/Varnoth/");
        EXPECT_TRUE(IsFolder(dir.Path() + "/xdg/Varnoth"));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", "relative/path");
        ScopedEnv home("HOME", dir.Path().c_str());
        EXPECT_EQ(platform::PerUserDataFolder("Varnoth"), dir.Path() + "/.local/share/Varnoth/");
        EXPECT_TRUE(IsFolder(dir.Path() + "/.local/share/Varnoth"));
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", nullptr);
        EXPECT_EQ(platform::PerUserDataFolder("Varnoth"), "");
    }
}

TEST(PlatformFiles, ListTimesFoldersAndRemoval)
{
    TempDir dir;
    dir.Write("b.txt", "x");
    dir.Write("a.txt", "x");
    dir.Write("folder/c.txt", "x");
    EXPECT_EQ(platform::ListFolderFiles(dir.Path()), (std::vector<std::string>{"a.txt", "b.txt"}));
    std::uint64_t seconds = 0;
    EXPECT_TRUE(platform::FileModifiedTime(dir.File("a.txt"), seconds));
    EXPECT_GT(seconds, 1500000000u);
    EXPECT_FALSE(platform::FileModifiedTime(dir.File("missing"), seconds));
    EXPECT_TRUE(platform::MakeFolder(dir.File("new")));
    EXPECT_TRUE(platform::MakeFolder(dir.File("new")));
    EXPECT_FALSE(platform::MakeFolder(dir.File("a.txt")));
    EXPECT_FALSE(platform::MakeFolder(dir.File("x/y")));
    EXPECT_TRUE(platform::RemoveFile(dir.File("a.txt")));
    EXPECT_FALSE(platform::RemoveFile(dir.File("a.txt")));
}

TEST(PlatformProgramFolder, StaysWhereDatExists)
{
    TempDir dir;
    dir.Write("dat/x", "");
    ScopedWorkingDir cwd(dir.Path());
    platform::EnterProgramFolder();
    char buffer[4096];
    ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
    EXPECT_EQ(std::string(buffer), dir.Path());
}

// A missing library is told by its own name and the loader's reason, never by a reason an earlier
// failure left behind; a later name still opens, and a missing function is refused.
TEST(PlatformLibrary, MissingNamesAreToldAndALaterNameOpens)
{
    SDL_SetError("That operation is not supported");
    std::string error;
    EXPECT_EQ(platform::OpenLibrary({"libvn-absent-one.so.1", "libvn-absent-two.so.2"}, &error), nullptr);
    EXPECT_NE(error.find("libvn-absent-one.so.1"), std::string::npos) << error;
    EXPECT_NE(error.find("libvn-absent-two.so.2"), std::string::npos) << error;
    EXPECT_EQ(error.find("not supported"), std::string::npos) << error;

    void* library = platform::OpenLibrary({"libvn-absent-one.so.1", "libSDL2-2.0.so.0"}, &error);
    ASSERT_NE(library, nullptr);
    void (*getVersion)(SDL_version*) = nullptr;
    EXPECT_TRUE(platform::BindFunction(library, "SDL_GetVersion", getVersion));
    EXPECT_FALSE(platform::BindFunction(library, "vn_no_such_function", getVersion));
}

// A stop signal lands on whichever thread the system picks; the main loop, on another, takes it
// once (ThreadSanitizer sees a plain flag shared this way as a race).
TEST(PlatformStopSignalsThreaded, ASignalOnAWorkerReachesTheMainThreadOnce)
{
    platform::InstallStopSignalHandlers();
    std::thread worker([] { std::raise(SIGTERM); });
    while (!platform::TakeStopRequest())
        std::this_thread::yield();
    worker.join();
    EXPECT_FALSE(platform::TakeStopRequest());
    platform::RemoveStopSignalHandlers();
}

// A raise that lands between a read of the note and its reset would be lost, and the program
// would not stop. The worker raises again only once the main thread has counted the last raise;
// a raise that has finished before a take began must then be taken by it, so a take that finds
// nothing proves a raise lost, whatever the threads' timing. The main thread takes in a tight loop,
// so that the raises fall at every point of a take.
TEST(PlatformStopSignalsThreaded, NoRaiseIsLostAgainstATakeInProgress)
{
    constexpr int kRaises = 3000;
    platform::InstallStopSignalHandlers();
    std::atomic<int> raised{0};
    std::atomic<int> counted{0};
    std::thread worker([&] {
        for (int i = 0; i < kRaises; ++i) {
            while (counted.load() < i)
                std::this_thread::yield();
            std::raise(SIGTERM);
            raised.store(i + 1);
        }
    });
    int lost = 0;
    while (counted.load() < kRaises) {
        const int finished = raised.load();
        if (platform::TakeStopRequest()) {
            counted.fetch_add(1);
        } else if (finished > counted.load()) {
            ++lost;
            counted.fetch_add(1);
        }
    }
    worker.join();
    EXPECT_FALSE(platform::TakeStopRequest());
    platform::RemoveStopSignalHandlers();
    EXPECT_EQ(lost, 0) << "of " << kRaises << " raises";
}

TEST(PlatformFileDialog, DefaultExtension)
{
    struct Case {
        std::string name;
        bool png;
        std::string result;
    };
    const Case cases[] = {
        {"/home/a/figure", false, "/home/a/figure.lbd"},
        {"/home/a/figure", true, "/home/a/figure.png"},
        {"/home/a/figure.lbd", false, "/home/a/figure.lbd"},
        {"/home/a/figure.old", true, "/home/a/figure.old"},
        {"/home/a.b/figure", false, "/home/a.b/figure.lbd"},
        {"/home/a/.hidden", false, "/home/a/.hidden.lbd"},
        {"figure", true, "figure.png"},
        {"", true, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::WithDefaultExtension(c.name, c.png), c.result) << c.name;
}

// The real dialog, driven through a scripted stand-in for zenity on PATH.
class PlatformFileDialogScripted : public ::testing::Test {
protected:
    void SetUp() override { platform::SetFileDialogFunction(nullptr); }

    // answer: what the stand-in prints for a file choice; code: its exit code; question: the
    // exit code of an overwrite question.
    void InstallZenity(const std::string& answer, int code, int question)
    {
        dir.Write("bin/zenity",
                  "#!/bin/sh\n"
                  "for a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + dir.File("args") + "'; done\n"
                  "echo --- >> '" + dir.File("args") + "'\n"
                  "case \"$1\" in --question) exit " + std::to_string(question) + ";; esac\n"
                  "printf '%s\\n' '" + answer + "'\n"
                  "exit " + std::to_string(code) + "\n");
        ASSERT_EQ(chmod(dir.File("bin/zenity").c_str(), 0700), 0);
    }

    TempDir dir;
    ScopedEnv path {"PATH", (dir.Path() + "/bin:/bin:/usr/bin").c_str()};
};

TEST_F(PlatformFileDialogScripted, SaveAddsExtensionWithFilters)
{
    InstallZenity(dir.File("figure"), 0, 0);
    EXPECT_EQ(platform::RunFileDialog(true, false, dir.Path()), dir.File("figure.lbd"));
    const std::string args = dir.Read("args");
    EXPECT_NE(args.find("--save\n--confirm-overwrite\n"), std::string::npos) << args;
    EXPECT_NE(args.find("--filename=" + dir.Path() + "/\n"), std::string::npos) << args;
    EXPECT_NE(args.find("--file-filter=Varnoth Files (*.lbd) | *.lbd\n"), std::string::npos) << args;
    EXPECT_EQ(args.find("--question"), std::string::npos) << "nothing to replace";
}

TEST_F(PlatformFileDialogScripted, CancelGivesEmptyPath)
{
    InstallZenity("", 1, 0);
    EXPECT_EQ(platform::RunFileDialog(false, true, ""), "");
    EXPECT_NE(dir.Read("args").find("--file-filter=Image Files (*.png) | *.png\n"), std::string::npos);
}

TEST_F(PlatformFileDialogScripted, AddedExtensionAsksBeforeReplacing)
{
    dir.Write("out.png", "old");
    InstallZenity(dir.File("out"), 0, 1);
    EXPECT_EQ(platform::RunFileDialog(true, true, ""), "") << "declined: nothing chosen";
    EXPECT_NE(dir.Read("args").find("--question"), std::string::npos);
    EXPECT_EQ(dir.Read("out.png"), "old");

    dir.Write("args", "");
    InstallZenity(dir.File("out"), 0, 0);
    EXPECT_EQ(platform::RunFileDialog(true, true, ""), dir.File("out.png"));
}

// The dialog's toolkit writes warnings on every start, here more than a pipe holds: left unread
// they would stall the dialog, and printed they would bury the program's own lines.
TEST_F(PlatformFileDialogScripted, ErrorNoiseGoesToTheLogCutAndTheAnswerStillComes)
{
    dir.Write("bin/zenity", "#!/bin/sh\n"
                            "i=0; while [ $i -lt 2000 ]; do echo \"Gtk-WARNING: noise $i\" >&2; i=$((i+1)); done\n"
                            "printf '%s\\n' '" + dir.File("chosen.lbd") + "'\n");
    ASSERT_EQ(chmod(dir.File("bin/zenity").c_str(), 0700), 0);
    LogCapture capture(LogCapture::kRecordOnly);
    testing::internal::CaptureStderr();
    const std::string chosen = platform::RunFileDialog(false, false, "");
    const std::string terminal = testing::internal::GetCapturedStderr();
    EXPECT_EQ(chosen, dir.File("chosen.lbd"));
    EXPECT_EQ(terminal.find("noise"), std::string::npos) << terminal.substr(0, 200);
    const auto lines = capture.Lines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_LE(lines.size(), 21u) << "a few lines, not two thousand";
    EXPECT_EQ(lines.front().text, "zenity: Gtk-WARNING: noise 0");
    EXPECT_NE(lines.back().text.find("more bytes it wrote were dropped"), std::string::npos) << lines.back().text;
    for (const CapturedLine& line : lines)
        EXPECT_EQ(line.target, 2) << line.text;
}

TEST(PlatformFileDialogMissing, NoProgramIsReportedOnScreenTarget)
{
    TempDir dir;
    ScopedEnv path("PATH", dir.Path().c_str());
    platform::SetFileDialogFunction(nullptr);
    LogCapture capture;
    capture.Allow("No file dialog");
    EXPECT_EQ(platform::RunFileDialog(false, false, ""), "");
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].target, 0);
}

// A page that does not open (the opener fails without a browser, or is missing) is told once,
// after the opener is collected; its error output goes to the log, not to our terminal.
TEST(PlatformOpenUrl, AFailedOrMissingOpenerLeavesThePageToTell)
{
    struct Case {
        const char* what;
        const char* opener; // the stand-in's body; null: no opener at all
        bool isTold;
    };
    // The browser it leaves behind writes once the test lets it ("go"), and says in "back" whether
    // the write went through.
    const char* const leavesBrowser =
        "d=${0%/*}/..\n"
        "( read x < \"$d/go\"; if echo 'late browser line' >&2; then echo grew; else echo refused; fi > \"$d/back\" ) >/dev/null &\n"
        "exit 0\n";
    const Case cases[] = {
        {"no browser", "echo 'Opening in a browser'\necho 'xdg-open: no method available for opening' >&2\nexit 3\n", true},
        {"opened", "exit 0\n", false},
        {"no opener", nullptr, true},
        {"a browser left running", leavesBrowser, false},
    };
    platform::SetSpawnFunction(nullptr);
    const std::string address = "https://example.org/account?a=1";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        if (c.opener != nullptr) {
            dir.Write("bin/xdg-open", std::string("#!/bin/sh\n") + c.opener);
            ASSERT_EQ(chmod(dir.File("bin/xdg-open").c_str(), 0700), 0);
        }
        ASSERT_EQ(mkfifo(dir.File("go").c_str(), 0600), 0);
        ASSERT_EQ(mkfifo(dir.File("back").c_str(), 0600), 0);
        ScopedEnv path("PATH", dir.File("bin").c_str());
        LogCapture capture(LogCapture::kRecordOnly);
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        platform::OpenUrl(address);
        platform::ReapChildren(true);
        const std::string terminal = testing::internal::GetCapturedStderr() + testing::internal::GetCapturedStdout();
        EXPECT_EQ(platform::TakeUnopenedPage(), c.isTold ? address : "");
        EXPECT_EQ(platform::TakeUnopenedPage(), "") << "told once";
        EXPECT_EQ(platform::PendingChildCount(), 0);
        EXPECT_EQ(terminal, "");
        EXPECT_EQ(capture.Contains("xdg-open: xdg-open: no method available"), c.opener != nullptr && c.isTold);
        EXPECT_EQ(capture.Contains("xdg-open: Opening in a browser"), c.opener != nullptr && c.isTold);
        if (c.opener == leavesBrowser) {
            // Its output has nowhere to pile up once the opener is collected.
            std::ofstream(dir.File("go")) << "\n";
            std::string answer;
            std::getline(std::ifstream(dir.File("back")), answer);
            EXPECT_EQ(answer, "refused");
        }
    }
}

TEST(PlatformFiles, ReadAtOffsetsStaysInsideTheFile)
{
    TempDir temp;
    temp.Write("data", "0123456789");
    const platform::ReadOnlyFile file(temp.File("data"));
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Size(), 10u);
    struct Case {
        std::uint64_t offset;
        std::size_t count;
        bool ok;
        const char* bytes;
    } cases[] = {{0, 10, true, "0123456789"}, {7, 3, true, "789"}, {7, 4, false, ""},
                 {10, 1, false, ""},          {0, 0, true, ""},     {~0ull - 2, 1, false, ""}};
    for (const Case& c : cases) {
        std::string out(c.count, '\0');
        EXPECT_EQ(file.ReadAt(c.offset, &out[0], c.count), c.ok) << c.offset << "+" << c.count;
        if (c.ok) {
            EXPECT_EQ(out, c.bytes);
        }
    }
    // A FIFO with no writer must be refused at once, not waited on.
    ASSERT_EQ(mkfifo(temp.File("fifo").c_str(), 0600), 0);
    for (const std::string& missing : {temp.File("none"), temp.Path(), temp.File("fifo")}) {
        const platform::ReadOnlyFile absent(missing);
        EXPECT_FALSE(absent.IsOpen()) << missing;
        EXPECT_NE(absent.OpenError(), 0) << missing;
        char byte = 0;
        EXPECT_FALSE(absent.ReadAt(0, &byte, 1));
    }
}

TEST(PlatformFiles, WritesHonourTheFailureSeam)
{
    TempDir temp;
    const std::string kept = temp.File("kept");
    temp.Write("kept", "old");
    EXPECT_EQ(platform::CreateFileExclusively(kept), platform::CreateResult::kExists);
    EXPECT_EQ(platform::CreateFileExclusively(temp.File("new")), platform::CreateResult::kCreated);

    platform::SetWriteFailureFunction([&temp](const std::string& path) { return path.find(temp.Path()) == 0; });
    std::string error;
    const bool atomic = platform::WriteFileAtomically(kept, "new", 3, &error);
    const bool created = platform::CreateFileExclusively(temp.File("other")) == platform::CreateResult::kCreated;
    const bool opened = platform::OpenFile(temp.File("log"), "ab") != nullptr;
    const bool readable = platform::OpenFile(kept, "rb") != nullptr;
    platform::SetWriteFailureFunction(nullptr);

    EXPECT_FALSE(atomic);
    EXPECT_NE(error.find("cannot create"), std::string::npos) << error;
    EXPECT_FALSE(created);
    EXPECT_FALSE(opened);
    EXPECT_TRUE(readable) << "reading is not a write";
    EXPECT_EQ(temp.Read("kept"), "old");
    EXPECT_FALSE(platform::FileExists(temp.File("kept.tmp")));
    EXPECT_FALSE(platform::FileExists(temp.File("other")));
}

TEST(PlatformFiles, AtomicWritesTouchNoNeighbourAndLeaveNoTemporaryFile)
{
    TempDir temp;
    temp.Write("kept.tmp", "the user's own file");
    temp.Write("taken/inside", "a folder in the target's place makes the rename fail");
    EXPECT_TRUE(platform::WriteFileAtomically(temp.File("kept"), "new", 3));
    EXPECT_TRUE(platform::WriteFileAtomically(temp.File("kept"), "newer", 5));
    std::string error;
    EXPECT_FALSE(platform::WriteFileAtomically(temp.File("taken"), "x", 1, &error));
    EXPECT_NE(error.find("cannot rename"), std::string::npos) << error;
    EXPECT_EQ(temp.Read("kept"), "newer");
    EXPECT_EQ(temp.Read("kept.tmp"), "the user's own file");
    EXPECT_EQ(platform::ListFolderFiles(temp.Path()), (std::vector<std::string>{"kept", "kept.tmp"}));
}

TEST(PlatformFiles, EarlyWritebackKeepsWhatWasWrittenAndTheFileOpen)
{
    TempDir dir;
    EXPECT_FALSE(platform::StartWriteback(nullptr));
    platform::FilePtr file = platform::OpenFile(dir.File("part.lbt"), "wb");
    ASSERT_TRUE(file);
    ASSERT_EQ(std::fwrite("abc", 1, 3, file.get()), 3u);
    EXPECT_TRUE(platform::StartWriteback(file.get()));
    EXPECT_EQ(dir.Read("part.lbt"), "abc") << "buffered bytes reach the file";
    ASSERT_EQ(std::fwrite("def", 1, 3, file.get()), 3u);
    file.reset();
    EXPECT_EQ(dir.Read("part.lbt"), "abcdef");
}

// SDL's blocks come from our allocator once switched: an overflowing count refused, blocks from
// before the switch still freed and grown as before. What the process-wide pool does with them in
// the normal build runs on a pool of the test's own, which every build has: large blocks zeroed
// when asked, also where a given-back block is reused, blocks grown with their bytes.
TEST(PlatformLargeBuffers, SdlAllocatesThroughThemSafely)
{
    void* before = SDL_malloc(100);
    ASSERT_NE(before, nullptr);
    platform::UseLargeBuffersForSdl();
    EXPECT_EQ(SDL_calloc(static_cast<std::size_t>(-1) / 2, 4), nullptr) << "count x size overflows";
    const std::size_t large = 5u << 20;
    void* grown = SDL_realloc(before, large);
    ASSERT_NE(grown, nullptr);
    SDL_free(grown);
    SDL_Surface* window = SDL_CreateRGBSurfaceWithFormat(0, 1600, 1200, 32, SDL_PIXELFORMAT_ARGB8888);
    ASSERT_NE(window, nullptr);
    SDL_FreeSurface(window);

    platform::LargeBufferPool pool(256u << 20, 32u << 20);
    EXPECT_EQ(pool.AllocateZeroed(static_cast<std::size_t>(-1) / 2, 4), nullptr) << "count x size overflows";
    auto* dirty = static_cast<unsigned char*>(pool.Allocate(large));
    ASSERT_NE(dirty, nullptr);
    std::memset(dirty, 0xAB, large);
    pool.Free(dirty);
    auto* zeroed = static_cast<unsigned char*>(pool.AllocateZeroed(large, 1));
    ASSERT_NE(zeroed, nullptr);
    EXPECT_EQ(zeroed, dirty) << "a given-back block is the next one of its size";
    EXPECT_EQ(std::count(zeroed, zeroed + large, 0), static_cast<std::ptrdiff_t>(large));
    pool.Free(zeroed);

    const std::size_t half = 1u << 20;
    auto* first = static_cast<unsigned char*>(pool.Allocate(half));
    auto* second = static_cast<unsigned char*>(pool.Allocate(half));
    ASSERT_TRUE(first != nullptr && second != nullptr);
    first[half - 1] = 7;
    auto* grownFirst = static_cast<unsigned char*>(pool.Reallocate(first, 3 * half));
    ASSERT_NE(grownFirst, nullptr);
    EXPECT_EQ(grownFirst[half - 1], 7) << "grown with its bytes";
    pool.Free(second);
    pool.Free(grownFirst);
    void* whole = pool.Allocate(2 * half);
    EXPECT_EQ(whole, first) << "neighbours given back serve one larger block";
    pool.Free(whole);

    const std::size_t huge = 40u << 20;
    auto* kept = static_cast<unsigned char*>(pool.Allocate(huge));
    ASSERT_NE(kept, nullptr);
    std::memset(kept, 0xCD, huge);
    pool.Free(kept);
    auto* again = static_cast<unsigned char*>(pool.Allocate(huge));
    ASSERT_EQ(again, kept);
    EXPECT_EQ(again[huge / 2], 0) << "pages beyond what stays resident go back to the system";
    pool.Free(again);
    void* cBlock = pool.Reallocate(std::malloc(100), large);
    ASSERT_NE(cBlock, nullptr);
    pool.Free(cBlock);
}

// Bytes of [start, start + length) that are resident (touched and not given back to the system).
static std::size_t ResidentBytes(const char* start, std::size_t length)
{
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    std::vector<unsigned char> pages((length + page - 1) / page);
    if (mincore(const_cast<char*>(start), length, pages.data()) != 0)
        return static_cast<std::size_t>(-1);
    return page * static_cast<std::size_t>(std::count_if(pages.begin(), pages.end(), [](unsigned char p) { return p & 1; }));
}

// Given-back blocks stay resident up to the limit only, whichever space a block was taken from;
// a block given back twice is reported. Then several threads take, grow and give back blocks at
// once, each holding more than the whole span at its peak, so that blocks also come from the C
// allocator: every block keeps its bytes, and with nothing in use the limit still holds.
TEST(PlatformLargeBuffersThreaded, BlocksKeepTheirBytesAndTheResidentLimitHolds)
{
    constexpr std::size_t kSpan = 16u << 20;
    constexpr std::size_t kLimit = 2u << 20;
    constexpr std::size_t kLargest = 1u << 20;
    platform::LargeBufferPool pool(kSpan, kLimit);
    LogCapture capture;
    capture.Allow("given back twice");
    std::vector<char> pattern(2 * kLargest);
    std::mt19937 random(5);
    for (char& c : pattern)
        c = static_cast<char>(random());
    const auto Fill = [&](std::size_t size) {
        void* block = pool.Allocate(size);
        if (block != nullptr)
            std::memcpy(block, pattern.data(), size);
        return static_cast<char*>(block);
    };

    // The first block of a fresh pool is the start of its span.
    char* const start = Fill(1536u << 10);
    char* const second = Fill(1536u << 10);
    pool.Free(start);
    pool.Free(Fill(kLimit)); // from never-touched space, beyond the limit
    pool.Free(second);
    EXPECT_LE(ResidentBytes(start, kSpan), kLimit);
    pool.Free(second);
    EXPECT_TRUE(capture.Contains("given back twice"));

    std::atomic<int> fromTheCAllocator{0};
    const auto Work = [&](unsigned seed) {
        std::mt19937 steps(seed);
        std::vector<std::pair<char*, std::size_t>> held;
        std::size_t heldBytes = 0;
        bool peaked = false;
        for (int step = 0; step < 300; ++step) {
            peaked = peaked || heldBytes > kSpan;
            const unsigned choice = steps() % 4;
            if (!peaked || held.empty() || choice == 0) {
                const std::size_t size = (32u << 10) + steps() % kLargest;
                char* block = Fill(size);
                ASSERT_NE(block, nullptr);
                fromTheCAllocator += block < start || block >= start + kSpan;
                held.emplace_back(block, size);
                heldBytes += size;
                continue;
            }
            const std::size_t pick = steps() % held.size();
            auto& [block, size] = held[pick];
            ASSERT_EQ(std::memcmp(block, pattern.data(), size), 0) << "step " << step;
            if (choice == 1) {
                const std::size_t grown = std::min(size + steps() % kLargest, pattern.size());
                block = static_cast<char*>(pool.Reallocate(block, grown));
                ASSERT_NE(block, nullptr);
                ASSERT_EQ(std::memcmp(block, pattern.data(), size), 0) << "grown at step " << step;
                std::memcpy(block + size, pattern.data() + size, grown - size);
                heldBytes += grown - size;
                size = grown;
            } else {
                pool.Free(block);
                heldBytes -= size;
                std::swap(held[pick], held.back());
                held.pop_back();
            }
        }
        for (const auto& [block, size] : held) {
            EXPECT_EQ(std::memcmp(block, pattern.data(), size), 0);
            pool.Free(block);
        }
    };
    std::vector<std::thread> threads;
    for (unsigned seed = 1; seed <= 4; ++seed)
        threads.emplace_back(Work, seed);
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_GT(fromTheCAllocator.load(), 0);
    EXPECT_LE(ResidentBytes(start, kSpan), kLimit);
    void* whole = pool.Allocate(kSpan);
    EXPECT_EQ(whole, start) << "every block came back whole";
    pool.Free(whole);
}

// The advice flags (smaps' VmFlags) of the mapping holding address; empty when none does.
static std::string MappingFlags(const void* address)
{
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    std::ifstream smaps("/proc/self/smaps");
    std::string line;
    bool inside = false;
    while (std::getline(smaps, line)) {
        unsigned long long start = 0;
        unsigned long long end = 0;
        if (std::sscanf(line.c_str(), "%llx-%llx ", &start, &end) == 2 && line.find(':') > line.find(' '))
            inside = at >= start && at < end;
        else if (inside && line.rfind("VmFlags:", 0) == 0)
            return line.substr(8) + " ";
    }
    return {};
}

// Kept blocks lie scattered over the span: on huge pages, whole ones merged by the kernel later
// included, each 2 MiB holding one would stay resident whole. The span is advised off them, also
// in the process-wide pool.
TEST(PlatformLargeBuffers, TheSpanIsKeptOffHugePages)
{
    if (access("/sys/kernel/mm/transparent_hugepage/enabled", F_OK) != 0)
        GTEST_SKIP() << "this kernel has no transparent huge pages to keep off";
    platform::LargeBufferPool pool(8u << 20, 2u << 20);
    void* block = pool.Allocate(64u << 10);
    ASSERT_NE(block, nullptr);
    EXPECT_NE(MappingFlags(block).find(" nh "), std::string::npos) << MappingFlags(block);
    pool.Free(block);
#if !defined(VN_ADDRESS_SANITIZER) && !defined(VN_THREAD_SANITIZER)
    void* processBlock = platform::AllocateLargeBuffer(64u << 10);
    ASSERT_NE(processBlock, nullptr);
    EXPECT_NE(MappingFlags(processBlock).find(" nh "), std::string::npos) << MappingFlags(processBlock);
    platform::FreeLargeBuffer(processBlock);
#endif
}

#ifdef VN_ADDRESS_SANITIZER
// The sanitizer builds hand large blocks to the C allocator, so that their misuse is seen.
TEST(PlatformLargeBuffersDeathTest, AWritePastALargeBlockIsReported)
{
    constexpr std::size_t kSize = 64u << 10;
    EXPECT_DEATH(static_cast<volatile char*>(platform::AllocateLargeBuffer(kSize))[kSize + 16] = 1,
                 "heap-buffer-overflow");
    platform::UseLargeBuffersForSdl();
    EXPECT_DEATH(static_cast<volatile char*>(SDL_malloc(kSize))[kSize + 16] = 1, "heap-buffer-overflow");
}
#endif
