#include "online/WebClient.h"

// No web service is reached yet: nothing is queued, so there is nothing to pump or stop.
void WebClient::Pump(float) {}
void WebClient::Stop() {}
