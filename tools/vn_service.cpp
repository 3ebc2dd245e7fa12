// vn-service --scenario <folder> [--archives <folder>]... [--host <address>] [--port <n>]
// Serves the scenario until interrupted. The first line on stdout is "listening on <url>" (port 0,
// the default, picks a free port), so a script can read where to point the program.
#include "vn_service_core.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

volatile std::sig_atomic_t gStopRequested = 0;

void RequestStop(int)
{
    gStopRequested = 1;
}

int Usage()
{
    std::fprintf(stderr, "usage: vn-service --scenario <folder> [--archives <folder>]... [--host <address>] "
                         "[--port <n>]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc)
            return Usage();
        const std::string value = argv[++i];
        if (arg == "--scenario")
            options.scenarioFolder = value;
        else if (arg == "--archives")
            options.archiveFolders.push_back(value);
        else if (arg == "--host")
            options.host = value;
        else if (arg == "--port")
            options.port = std::atoi(value.c_str());
        else
            return Usage();
    }
    if (options.scenarioFolder.empty())
        return Usage();
    if (options.host != "127.0.0.1" && options.host != "localhost" && options.host != "::1")
        std::fprintf(stderr, "vn-service: listening beyond loopback (%s)\n", options.host.c_str());
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    ServiceStandIn service;
    if (!service.Start(options)) {
        std::fprintf(stderr, "vn-service: %s\n", service.Error().c_str());
        return 1;
    }
    std::printf("listening on %s\n", service.HostUrl().c_str());
    std::fflush(stdout);
    sigset_t none;
    sigemptyset(&none);
    while (!gStopRequested)
        sigsuspend(&none);
    service.Stop();
    return 0;
}
