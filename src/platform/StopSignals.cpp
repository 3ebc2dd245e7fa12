#include "platform/Platform.h"

#include <signal.h>

#include <csignal>

namespace platform {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT};

volatile std::sig_atomic_t gStopRequested = 0;
struct sigaction gPrevious[sizeof kStopSignals / sizeof kStopSignals[0]];
bool gInstalled = false;

// Async-signal-safe: it only notes the request.
extern "C" void NoteStopSignal(int) { gStopRequested = 1; }

} // namespace

void InstallStopSignalHandlers()
{
    if (gInstalled)
        return;
    struct sigaction action {};
    action.sa_handler = NoteStopSignal;
    sigemptyset(&action.sa_mask);
    // A wait for events or a read that the signal interrupts goes on; the loop sees the note in
    // its next pass.
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i)
        sigaction(kStopSignals[i], &action, &gPrevious[i]);
    gInstalled = true;
}

void RemoveStopSignalHandlers()
{
    if (!gInstalled)
        return;
    for (std::size_t i = 0; i < sizeof kStopSignals / sizeof kStopSignals[0]; ++i)
        sigaction(kStopSignals[i], &gPrevious[i], nullptr);
    gInstalled = false;
    gStopRequested = 0;
}

bool TakeStopRequest()
{
    if (gStopRequested == 0)
        return false;
    gStopRequested = 0;
    return true;
}

} // namespace platform
