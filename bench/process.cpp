// Whole processes, side by side in one run, headless (dummy video driver, software renderer):
//  1. exec to the first drawn main menu, against a bare SDL program that opens a window of the
//     same size and presents once (goal: at most 3x);
//  2. peak memory at the main menu with 1, 16 and 64 installed packages (copies of a bundled
//     package under new names), every screen of the package list shown (goal: at most
//     64 MiB + 0.5 MiB per package);
//  3. peak memory in the editor with char_vexa and all its add-ons, against the decoded pictures
//     the figure holds (goal: (peak - 64 MiB) / held at most 1.5x).
// Each figure is min / median / max over several runs.

#include "LbaWriter.h"
#include "Spread.h"
#include "engine/AssetArchive.h"
#include "engine/Keystream.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kStartRuns = 15;
constexpr int kMemoryRuns = 3;
constexpr double kMiB = 1024.0 * 1024.0;

std::string Show(const Spread& s, const char* format)
{
    char buffer[160];
    std::string f = std::string(format) + " / " + format + " / " + format;
    std::snprintf(buffer, sizeof buffer, f.c_str(), s.min, s.median, s.max);
    return buffer;
}

struct ChildResult {
    bool ok = false;
    double milliseconds = 0; // spawn to the child's first line
    std::string line;
};

// Runs program with args in folder; its first line on descriptor 3 is the answer.
ChildResult Run(const std::string& program, const std::vector<std::string>& args, const fs::path& folder)
{
    ChildResult result;
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return result;
    // Above 3 and closed on exec, so that only the copy on 3 reaches the child.
    int fds[2];
    for (int i = 0; i < 2; ++i) {
        fds[i] = fcntl(pipeFds[i], F_DUPFD_CLOEXEC, 10);
        close(pipeFds[i]);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 3);
    const std::string devNull = "/dev/null";
    posix_spawn_file_actions_addopen(&actions, 1, devNull.c_str(), O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, devNull.c_str(), O_WRONLY, 0);
    std::vector<std::string> all{program};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const fs::path previous = fs::current_path();
    fs::current_path(folder);
    pid_t pid = 0;
    const auto start = Clock::now();
    const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
    fs::current_path(previous);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (spawned != 0) {
        close(fds[0]);
        return result;
    }
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        result.line.push_back(c);
    result.milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && !result.line.empty();
    return result;
}

double Field(const std::string& line, const std::string& key)
{
    const std::size_t at = line.find(key + " ");
    return at == std::string::npos ? -1.0 : std::atof(line.c_str() + at + key.size() + 1);
}

// The bundled packages, linked, and count - 1 copies of char_vuro_prev under new names.
bool MakeInstallation(const fs::path& folder, const fs::path& dat, int copies, std::string& list)
{
    fs::create_directories(folder / "dat");
    for (const auto& entry : fs::directory_iterator(dat))
        fs::create_symlink(entry.path(), folder / "dat" / entry.path().filename());
    list = "char_vuro_prev";
    if (copies <= 0)
        return true;
    AssetArchive source;
    source.seed = ComputeNameSeed("char_vuro_prev");
    source.keyText = kArchiveKey;
    if (!source.Open((dat / "char_vuro_prev.lba").string()))
        return false;
    std::vector<LbaFile> files;
    for (const ArchiveEntry& entry : source.Index()) {
        LbaFile file;
        file.name = entry.name;
        if (!source.ReadEntry(entry.name, file.bytes))
            return false;
        files.push_back(std::move(file));
    }
    for (int i = 1; i <= copies; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "copy%03d_prev", i);
        if (!WriteLbaArchive(name, files, (folder / "dat" / (std::string(name) + ".lba")).string()))
            return false;
        list += std::string(";") + name;
    }
    return true;
}

std::string Sibling(const char* self, const char* name)
{
    return (fs::absolute(fs::path(self)).parent_path() / name).string();
}

} // namespace

int main(int, char** argv)
{
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    unsetenv("VARNOTH_SERVICE_HOST");
    const fs::path dat = fs::path(VN_BUNDLED_DIR) / "dat";
    if (!fs::exists(dat / "core.lba")) {
        std::fprintf(stderr, "bundled content not built (%s)\n", dat.string().c_str());
        return 1;
    }
    const std::string probe = Sibling(argv[0], "vn_bench_process_probe");
    const std::string bare = Sibling(argv[0], "vn_bench_bare_window");
    char folderTemplate[] = "/tmp/vn_bench_process_XXXXXX";
    const char* root = mkdtemp(folderTemplate);
    if (root == nullptr)
        return 1;
    int failures = 0;

    // 1. Start-up, on the bundled packages as installed.
    {
        const fs::path folder = fs::path(root) / "start";
        std::string list;
        if (!MakeInstallation(folder, dat, 0, list) || !Run(probe, {"prepare", ""}, folder).ok) {
            std::fprintf(stderr, "could not prepare the start-up folder\n");
            return 1;
        }
        std::vector<double> program;
        std::vector<double> reference;
        std::vector<double> ratios;
        std::vector<double> programCpu;
        std::vector<double> referenceCpu;
        std::vector<double> cpuRatios;
        for (int i = 0; i < kStartRuns; ++i) {
            const ChildResult b = Run(bare, {"1600", "1200"}, folder);
            const ChildResult p = Run(probe, {"first-frame"}, folder);
            if (!b.ok || !p.ok) {
                ++failures;
                continue;
            }
            reference.push_back(b.milliseconds);
            program.push_back(p.milliseconds);
            ratios.push_back(p.milliseconds / b.milliseconds);
            referenceCpu.push_back(Field(b.line, "cpu_ms"));
            programCpu.push_back(Field(p.line, "cpu_ms"));
            cpuRatios.push_back(programCpu.back() / referenceCpu.back());
        }
        std::printf("exec to first drawn main menu: %s ms; bare window, clear and present: %s ms\n",
                    Show(SpreadOf(program), "%.1f").c_str(), Show(SpreadOf(reference), "%.1f").c_str());
        std::printf("  ratio per pair (min / median / max): %s (goal <= 3x)\n",
                    Show(SpreadOf(ratios), "%.2fx").c_str());
        // On a busy machine the wall times mostly measure waiting for a core; the CPU time does not.
        std::printf("  CPU time to that frame, all threads: %s ms against %s ms; ratio per pair %s\n",
                    Show(SpreadOf(programCpu), "%.1f").c_str(), Show(SpreadOf(referenceCpu), "%.1f").c_str(),
                    Show(SpreadOf(cpuRatios), "%.2fx").c_str());
    }

    // 2. The main menu with many packages.
    for (int packages : {1, 16, 64}) {
        const fs::path folder = fs::path(root) / ("menu" + std::to_string(packages));
        std::string list;
        if (!MakeInstallation(folder, dat, packages - 1, list) || !Run(probe, {"prepare", list}, folder).ok) {
            std::fprintf(stderr, "could not prepare %d packages\n", packages);
            return 1;
        }
        std::vector<double> peaks;
        for (int i = 0; i < kMemoryRuns; ++i) {
            const ChildResult r = Run(probe, {"menu"}, folder);
            if (!r.ok) {
                ++failures;
                continue;
            }
            peaks.push_back(Field(r.line, "peak_kb") / 1024.0);
        }
        const Spread peak = SpreadOf(peaks);
        const double goal = 64.0 + 0.5 * packages;
        std::printf("main menu with %2d packages: peak %s MiB; goal 64 + 0.5 x %d = %.1f MiB; ratio %.2fx\n",
                    packages, Show(peak, "%.1f").c_str(), packages, goal, peak.median / goal);
    }

    // 3. The editor with char_vexa and every add-on.
    {
        const fs::path folder = fs::path(root) / "editor";
        std::string list;
        if (!MakeInstallation(folder, dat, 0, list) || !Run(probe, {"prepare", ""}, folder).ok) {
            std::fprintf(stderr, "could not prepare the editor folder\n");
            return 1;
        }
        std::vector<double> peaks;
        std::vector<double> ratios;
        double held = 0;
        for (int i = 0; i < kMemoryRuns; ++i) {
            const ChildResult r = Run(probe, {"editor"}, folder);
            if (!r.ok) {
                ++failures;
                continue;
            }
            const double peak = Field(r.line, "peak_kb") / 1024.0;
            held = Field(r.line, "held_bytes") / kMiB;
            peaks.push_back(peak);
            ratios.push_back(held > 0 ? (peak - 64.0) / held : 0.0);
        }
        std::printf("editor with char_vexa and all add-ons: peak %s MiB; decoded pictures held %.1f MiB\n",
                    Show(SpreadOf(peaks), "%.1f").c_str(), held);
        std::printf("  ratio (peak - 64 MiB) / held: %s (goal <= 1.5x)\n", Show(SpreadOf(ratios), "%.2fx").c_str());
    }

    if (failures > 0)
        std::printf("%d runs failed and are left out\n", failures);
    std::error_code ec;
    if (getenv("KEEP") == nullptr)
        fs::remove_all(root, ec);
    return failures > 0 ? 1 : 0;
}
