#pragma once
// A fresh working folder for the whole fuzzing process, removed at exit: the targets that write
// files (profiles, archives, previews) write them there and nowhere else. In memory where the
// system offers it: the program syncs every file it saves, which on a disk would slow each run
// down to a few a second.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <string>
#include <vector>

// Once per process; false when the folder cannot be made or entered.
inline bool EnterScratchFolder()
{
    static char folder[] = "/dev/shm/vn_fuzz_XXXXXX";
    if (mkdtemp(folder) == nullptr) {
        static char onDisk[] = "/tmp/vn_fuzz_XXXXXX";
        std::copy(onDisk, onDisk + sizeof onDisk, folder);
        if (mkdtemp(folder) == nullptr)
            return false;
    }
    if (chdir(folder) != 0)
        return false;
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    });
    return true;
}

// The fuzzer reads and writes the paths it was given (corpus folders and inputs, the dictionary,
// artifacts) long after the first input moved the process into the scratch folder: each is made
// absolute against the folder the run started in before any input runs, and crash files land
// there too rather than in the scratch folder. Arguments after -ignore_remaining_args=1 are the
// target's own and stay as they are.
inline void MakeFuzzerPathsAbsolute(int* argc, char*** argv)
{
    static std::vector<std::string> arguments;
    static std::vector<char*> pointers;
    const auto absolute = [](const std::string& path) {
        std::error_code ignored;
        const std::filesystem::path made = std::filesystem::absolute(path, ignored);
        return made.empty() ? path : made.string();
    };
    const char* const pathFlags[] = {"artifact_prefix", "exact_artifact_path", "dict", "stop_file",
                                     "merge_control_file", "mutation_graph_file", "data_flow_trace",
                                     "collect_data_flow"};
    bool hasArtifactPlace = false;
    bool isRemainderOurs = true;
    arguments.assign(*argv, *argv + *argc);
    for (std::size_t i = 1; i < arguments.size() && isRemainderOurs; ++i) {
        std::string& argument = arguments[i];
        if (argument.empty())
            continue;
        if (argument[0] != '-') {
            argument = absolute(argument);
            continue;
        }
        const std::size_t equals = argument.find('=');
        if (equals == std::string::npos || argument.compare(0, 2, "--") == 0)
            continue;
        const std::string flag = argument.substr(1, equals - 1);
        const std::string value = argument.substr(equals + 1);
        if (flag == "ignore_remaining_args") {
            isRemainderOurs = value != "1";
        } else if (flag == "seed_inputs") {
            // A comma-separated list, or "@" and a file that holds one.
            std::string list;
            if (!value.empty() && value[0] == '@') {
                list = "@" + absolute(value.substr(1));
            } else {
                for (std::size_t start = 0; start <= value.size();) {
                    std::size_t end = value.find(',', start);
                    if (end == std::string::npos)
                        end = value.size();
                    if (end > start)
                        list += (list.empty() ? "" : ",") + absolute(value.substr(start, end - start));
                    start = end + 1;
                }
            }
            argument = "-seed_inputs=" + list;
        } else if (std::find_if(std::begin(pathFlags), std::end(pathFlags), [&flag](const char* known) {
                       return flag == known;
                   }) != std::end(pathFlags)) {
            hasArtifactPlace = hasArtifactPlace || flag == "artifact_prefix" || flag == "exact_artifact_path";
            // A prefix may end in "/": absolute keeps it.
            if (!value.empty())
                argument = "-" + flag + "=" + absolute(value);
        }
    }
    std::error_code ignored;
    const std::string here = std::filesystem::current_path(ignored).string();
    if (!hasArtifactPlace && !here.empty())
        arguments.insert(arguments.begin() + 1, "-artifact_prefix=" + (here == "/" ? here : here + "/"));
    pointers.clear();
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    *argc = static_cast<int>(arguments.size());
    *argv = pointers.data();
}

// Every target that enters the scratch folder is one file that includes this header once.
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    MakeFuzzerPathsAbsolute(argc, argv);
    return 0;
}
