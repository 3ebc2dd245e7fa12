#include "platform/Platform.h"

#include <signal.h>

#include <atomic>

namespace platform {

namespace {

constexpr int kStopSignals[] = {SIGTERM, SIGINT};

// Set by a signal on whichever thread the system picks, read by the main loop: only a lock-free
// atomic is both safe inside a handler and seen across threads.
std::atomic<bool> gStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop note must be lock-free to be set in a signal handler");
struct sigaction gPrevious[sizeof kStopSignals / sizeof kStopSignals[0]];
bool gInstalled = false;

// Async-signal-safe: it only notes the request.
extern "C" void NoteStopSignal(int) { gStopRequested.store(true); }

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
    gStopRequested.store(false);
}

bool TakeStopRequest()
{
    // One exchange: a signal between a read and a reset would otherwise be lost.
    return gStopRequested.exchange(false);
}

} // namespace platform
