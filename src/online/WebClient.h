#pragma once
// Requests and downloads to the web service, run on the "RequestProcess" worker.

class WebClient {
public:
    // Main thread, once per frame: starts the worker when needed, hands one event to the core.
    static void Pump(float seconds);
    // Shutdown: sets the stop and halted flags; cleans libcurl up when no download is queued.
    static void Stop();
};
